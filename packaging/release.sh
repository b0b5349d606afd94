#!/usr/bin/env bash
# Makes, rebuilds or checks a release:
#
#   packaging/release.sh [--sign KEYID] DIR      a release of the tagged commit
#   packaging/release.sh --snapshot [--sign KEYID] DIR
#                                                a snapshot of any checkout
#   packaging/release.sh --verify DIR            rebuilds the release in DIR
#                                                and compares every artifact
#
# A release goes into DIR, which must be empty or not exist yet: the source
# tarball j6enc-VERSION.tar.gz, the Debian packages for amd64 and arm64, the
# RPMs for x86_64 and aarch64, the tarballs with the static program for both,
# the Windows ZIP, BUILDINFO (what made them: the commit, the time stamp and
# the exact versions of the Debian packages that reach them) and SHA256SUMS
# over those nine, which `sha256sum -c SHA256SUMS` accepts; with --sign, also
# SHA256SUMS.asc, a detached armoured signature of SHA256SUMS by KEYID.
# VERSION is that of the newest release in CHANGELOG.md.
#
# In a git checkout, a release is made only from a checkout without changes
# to tracked files whose HEAD is tagged vVERSION; --snapshot builds any
# checkout, and its file names and BUILDINFO say it is a snapshot
# (VERSION~snapshot). In an unpacked source tarball, where there is no git,
# the script builds the release again: the commit is the one the tarball
# records in its file COMMIT.
#
# The source tarball holds the files that git tracks and COMMIT; every
# package is built from that tarball, unpacked where there is no git, so
# what a distribution gets is what the packages were made from. No test is
# built. Two runs give the same bytes, whoever runs them, where and when:
# every time stamp is the release's, midnight UTC of the newest CHANGELOG.md
# date (SOURCE_DATE_EPOCH, when set, overrides it); tar, gzip and the builds
# run with a fixed umask, time zone and locale and an environment of their
# own, so that neither TAR_OPTIONS, GZIP, the builder's flags nor
# ~/.rpmmacros reach them; and every file in a package belongs to root.
# Everything is made in a temporary directory and moved into DIR when the
# release is complete: a failed or interrupted run leaves DIR as it was.
set -euo pipefail
umask 022
export LC_ALL=C

fail() {
    echo "release.sh: $*" >&2
    exit 1
}
usage() {
    echo "usage: packaging/release.sh [--snapshot] [--sign KEYID] DIR" >&2
    echo "       packaging/release.sh --verify DIR" >&2
    exit 2
}
snapshot=no key='' verify=no
while (($# > 1)); do
    case $1 in
        --snapshot) snapshot=yes ;;
        --verify) verify=yes ;;
        --sign)
            (($# > 2)) || usage
            key=$2
            shift
            ;;
        *) usage ;;
    esac
    shift
done
(($# == 1)) && [[ $1 != -* ]] || usage
[[ $verify == no || ($snapshot == no && -z $key) ]] || usage
out=$1
source=$(cd "$(dirname "$0")/.." && pwd)

# Every tool the builds need, with the Debian package that has it; every
# missing one is named at once.
missing=()
need() {
    command -v "$1" > /dev/null || missing+=("$1 (Debian: $2)")
}
need git git
need cmake cmake
need make make
need g++ g++
need tar tar
need gzip gzip
need file file
need fakeroot fakeroot
need sha256sum coreutils
need dpkg-query dpkg
need dpkg-shlibdeps dpkg-dev
need rpmbuild rpm
need aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
[[ -z $key ]] || need gpg gpg
# dpkg-shlibdeps finds what the arm64 package needs in dpkg's own database.
if command -v dpkg-query > /dev/null; then
    for library in libc6:arm64 libstdc++6:arm64; do
        [[ $(dpkg-query -W -f='${db:Status-Status}' "$library" 2> /dev/null) == installed ]] \
            || missing+=("$library (Debian: dpkg --add-architecture arm64, then apt-get install $library)")
    done
fi
if ((${#missing[@]} > 0)); then
    printf 'release.sh: missing: %s\n' "${missing[@]}" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$work/home" "$work/stage"

# Runs a command with nothing of the caller's environment but PATH: an empty
# home, the release's time, UTC and the C locale.
build_env() {
    env -i PATH="$PATH" HOME="$work/home" TZ=UTC LC_ALL=C SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" "$@"
}

# --verify DIR: first each file in DIR that DIR/SHA256SUMS lists is checked
# against its line, and any that differs is named (a broken or changed
# download: nothing is rebuilt). Then the source tarball that SHA256SUMS
# lists, unpacked in a temporary directory, builds the release again there
# with its own release.sh and the time stamp of DIR/BUILDINFO, and each
# rebuilt file is compared with its line. BUILDINFO rebuilt differently
# only means other tools: the difference is shown, and the artifacts decide.
verify_release() {
    local dir=$1 sums tarball epoch hash file rebuilt differ=0
    [[ -f $dir/SHA256SUMS ]] || fail "$dir/SHA256SUMS: no such file"
    dir=$(cd "$dir" && pwd)
    sums=$dir/SHA256SUMS
    while read -r hash file; do
        if [[ ! -e $dir/$file ]]; then
            echo "$file: not in $dir"
        elif [[ $(sha256sum < "$dir/$file" | cut -d' ' -f1) != "$hash" ]]; then
            echo "$file: DIFFERS: the file in $dir is not the one SHA256SUMS lists"
            differ=$((differ + 1))
        fi
    done < "$sums"
    ((differ == 0)) || fail "$differ file(s) in $dir differ from SHA256SUMS: a broken or changed download"
    tarball=$(awk '$2 ~ /^j6enc-[^\/]*\.tar\.gz$/ && $2 !~ /-linux-/ { print $2 }' "$sums")
    [[ -n $tarball && $tarball != *$'\n'* ]] || fail "$sums lists no source tarball j6enc-VERSION.tar.gz"
    [[ -f $dir/$tarball ]] || fail "$dir/$tarball: no such file: nothing to rebuild from"
    epoch=${SOURCE_DATE_EPOCH:-}
    if [[ -f $dir/BUILDINFO ]]; then
        epoch=$(sed -n 's/^Source-Date-Epoch: \([0-9]*\).*/\1/p' "$dir/BUILDINFO")
    fi
    SOURCE_DATE_EPOCH=$epoch
    mkdir "$work/source"
    build_env tar -C "$work/source" -xzf "$dir/$tarball"
    set -- "$work"/source/*/packaging/release.sh
    [[ $# == 1 && -f $1 ]] || fail "$tarball: no j6enc-VERSION/packaging/release.sh in it"
    echo "release.sh: rebuilding the release from $tarball (SOURCE_DATE_EPOCH=${epoch:-from CHANGELOG.md})"
    local started=$SECONDS epoch_env=(-u SOURCE_DATE_EPOCH)
    if [[ -n $epoch ]]; then epoch_env=("SOURCE_DATE_EPOCH=$epoch"); fi
    env "${epoch_env[@]}" TMPDIR="$work" bash "$1" "$work/rebuilt" || fail "the rebuild from $tarball failed"
    echo "release.sh: rebuilt in $((SECONDS - started)) s; each file of $sums against its rebuild:"
    while read -r hash file; do
        rebuilt=$(sha256sum < "$work/rebuilt/$file" 2> /dev/null | cut -d' ' -f1) || rebuilt=''
        if [[ $rebuilt == "$hash" ]]; then
            echo "$file: identical"
        elif [[ -n $rebuilt && $file == BUILDINFO ]]; then
            echo "$file: other tools than the release's (the artifacts decide):"
            diff "$dir/BUILDINFO" "$work/rebuilt/BUILDINFO" || true
        elif [[ -n $rebuilt ]]; then
            echo "$file: DIFFERS: rebuilt, its SHA-256 is $rebuilt"
            differ=$((differ + 1))
        else
            echo "$file: DIFFERS: the rebuild made no such file"
            differ=$((differ + 1))
        fi
    done < "$sums"
    ((differ == 0)) || fail "$differ file(s) of $sums differ from the rebuild"
    echo "release.sh: every artifact that $sums lists is identical to its rebuild"
}

if [[ $verify == yes ]]; then
    verify_release "$out"
    exit 0
fi

[[ ! -e $out ]] || [[ -d $out && -z $(ls -A "$out") ]] || fail "$out: not an empty directory"

# The version and the date of the newest release.
heading=$(grep -m1 '^## ' "$source/CHANGELOG.md") || true
[[ $heading =~ ^##\ ([0-9]+\.[0-9]+\.[0-9]+)\ -\ ([0-9]{4}-[0-9]{2}-[0-9]{2})$ ]] \
    || fail "CHANGELOG.md: the newest release must start \"## VERSION - YYYY-MM-DD\""
version=${BASH_REMATCH[1]}
day=${BASH_REMATCH[2]}
midnight=$(date -u -d "$day" +%s 2> /dev/null) && [[ $(date -u -d "@$midnight" +%F) == "$day" ]] \
    || fail "CHANGELOG.md: \"$day\" in \"$heading\" is not a real date"
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$midnight}
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH: \"$SOURCE_DATE_EPOCH\" is not a number of seconds"

# The commit and the files of the source tarball. In a checkout: HEAD and
# the tracked files, none of which .gitignore may ignore (a rebuild from the
# tarball finds its files as git would, by .gitignore). In an unpacked
# source tarball: the commit that COMMIT records, and the files that
# .gitignore does not ignore, which are the tarball's as long as no build
# or stray file is left in it.
if [[ $(git -C "$source" rev-parse --show-toplevel 2> /dev/null) == "$source" ]]; then
    commit=$(git -C "$source" rev-parse HEAD)
    changes=$(git -C "$source" status --porcelain --untracked-files=no)
    if [[ $snapshot == no ]]; then
        [[ -z $changes ]] || fail "the checkout has uncommitted changes to tracked files, which no" \
            "commit has (--snapshot builds them anyway):"$'\n'"$changes"
        tagged=$(git -C "$source" rev-parse -q --verify "refs/tags/v$version^{commit}") \
            || fail "no tag v$version: a release is made from the commit tagged v$version" \
                "(CHANGELOG.md's newest version; --snapshot builds any commit)"
        [[ $tagged == "$commit" ]] || fail "the tag v$version is on $tagged, but HEAD is $commit:" \
            "check out v$version (--snapshot builds any commit)"
    elif [[ -n $changes ]]; then
        commit+=-dirty
    fi
    git -C "$source" ls-files -z > "$work/files"
    ignored=$(git -C "$source" ls-files -ci --exclude-per-directory=.gitignore)
    [[ -z $ignored ]] || fail "tracked files that .gitignore ignores, which a rebuild would miss: $ignored"
else
    [[ -f $source/COMMIT ]] || fail "$source is neither a git checkout nor an unpacked source tarball with COMMIT"
    read -r commit kind < "$source/COMMIT" || true
    [[ $commit =~ ^[0-9a-f]{40}(-dirty)?$ ]] || fail "$source/COMMIT: no commit in it"
    [[ ${kind:-} != snapshot ]] || snapshot=yes
    build_env git init -q --bare "$work/scan.git"
    (cd "$source" && build_env git --git-dir="$work/scan.git" --work-tree=. ls-files -z --others \
        --exclude-per-directory=.gitignore) | { grep -zvx COMMIT || true; } > "$work/files"
fi
name=j6enc-$version
label=$version
if [[ $snapshot == yes ]]; then label=$version~snapshot; fi
echo "release.sh: j6enc $label from $commit, time stamp $(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T UTC')" \
    "(SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
stage=$work/stage

# The source tarball: the files in one folder with COMMIT, sorted, every
# entry owned by root with the release's time and 0644 or 0755, compressed
# without name or time stamp; then its list checked against the files.
echo "release.sh: the source tarball j6enc-$label.tar.gz"
mkdir "$work/$name"
build_env tar -C "$source" --null -T "$work/files" -cf - | build_env tar -C "$work/$name" -xf -
if [[ $snapshot == yes ]]; then
    echo "$commit snapshot" > "$work/$name/COMMIT"
else
    echo "$commit" > "$work/$name/COMMIT"
fi
build_env bash -c 'set -o pipefail && tar -C "$1" --format=gnu --sort=name --mtime="@$SOURCE_DATE_EPOCH" \
    --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX -cf - "$2" | gzip -9n > "$3"' \
    _ "$work" "$name" "$stage/j6enc-$label.tar.gz"
diff <({ tr '\0' '\n' < "$work/files" && echo COMMIT; } | sed "s|^|$name/|" | sort) \
    <(build_env tar -tzf "$stage/j6enc-$label.tar.gz" | grep -v '/$' | sort) \
    || fail "the source tarball does not list exactly the files it should (< missing, > extra)"

# The packages, built from the source tarball unpacked afresh.
rm -rf "${work:?}/$name"
build_env tar -C "$work" -xzf "$stage/j6enc-$label.tar.gz"
cd "$work/$name"
# Runs cpack in build directory $1 for generators $2 as root, or what looks
# like root to it: the tarballs and the ZIP record their files' owner, which
# would otherwise be whoever runs this.
pack() { (cd "$1" && build_env fakeroot cpack -G "$2"); }

echo "release.sh: x86_64: Debian package, RPM, static tarball"
build_env cmake --workflow --preset release
pack build/release 'DEB;RPM;TGZ'

echo "release.sh: aarch64: Debian package, RPM, static tarball"
build_env cmake --preset aarch64 -DJ6ENC_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF
build_env cmake --build --preset aarch64
pack build/aarch64 'DEB;RPM;TGZ'

echo "release.sh: Windows ZIP"
build_env cmake --preset windows-zip
build_env cmake --build --preset windows-zip
pack build/windows-zip ZIP

# A snapshot's files carry VERSION~snapshot.
for file in build/release/j6enc_"$version"_amd64.deb build/aarch64/j6enc_"$version"_arm64.deb \
    build/release/"$name"-1.x86_64.rpm build/aarch64/"$name"-1.aarch64.rpm \
    build/release/"$name"-linux-x86_64.tar.gz build/aarch64/"$name"-linux-aarch64.tar.gz \
    build/windows-zip/"$name"-win64.zip; do
    base=${file##*/}
    cp "$file" "$stage/${base/"$version"/"$label"}"
done

# The build record, in the manner of a Debian .buildinfo file: the exact
# version of each Debian package whose code or behaviour reaches the
# artifacts (compilers, C and C++ libraries, binutils, and the tools that
# pack), for amd64, aarch64 and mingw-w64.
native=$(dpkg --print-architecture)
{
    echo "Format: j6enc build record 1"
    echo "Source: j6enc"
    echo "Version: $label"
    echo "Snapshot: $snapshot"
    echo "Commit: $commit"
    echo "Source-Date-Epoch: $SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T UTC'))"
    echo "Build-Architecture: $native"
    echo "Build-Environment:"
    for package in g++-12 gcc-12 cpp-12 libstdc++-12-dev:"$native" libgcc-12-dev:"$native" libc6-dev:"$native" \
        libc6:"$native" libstdc++6:"$native" libgcc-s1:"$native" binutils binutils-x86-64-linux-gnu \
        g++-12-aarch64-linux-gnu gcc-12-aarch64-linux-gnu cpp-12-aarch64-linux-gnu libstdc++-12-dev-arm64-cross \
        libgcc-12-dev-arm64-cross libc6-dev-arm64-cross binutils-aarch64-linux-gnu libc6:arm64 libstdc++6:arm64 \
        g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix gcc-mingw-w64-base:"$native" mingw-w64-x86-64-dev \
        mingw-w64-common binutils-mingw-w64-x86-64 cmake cmake-data make dpkg dpkg-dev file fakeroot \
        rpm rpm-common librpmbuild9:"$native" librpm9:"$native" librpmio9:"$native" libarchive13:"$native" \
        gzip tar xz-utils zlib1g:"$native" liblzma5:"$native" libzstd1:"$native"; do
        printf ' %s (= %s)\n' "${package%:"$native"}" \
            "$(dpkg-query -W -f='${Version}' "$package" 2> /dev/null || echo 'not installed')"
    done
} > "$stage/BUILDINFO"

cd "$stage"
sha256sum -- * > SHA256SUMS
sha256sum -c SHA256SUMS
if [[ -n $key ]]; then
    gpg --batch --yes --armor --detach-sign --local-user "$key" --output SHA256SUMS.asc SHA256SUMS
    gpg --batch --verify SHA256SUMS.asc SHA256SUMS
    signed="signed by $key in SHA256SUMS.asc"
else
    signed="unsigned (--sign KEYID signs SHA256SUMS)"
fi

# Complete: into DIR.
mkdir -p "$out"
out=$(cd "$out" && pwd)
files=(*)
if ! mv -- "${files[@]}" "$out/"; then
    (cd "$out" && rm -f -- "${files[@]}")
    fail "could not move the release into $out"
fi
echo "release.sh: the release is in $out, $signed"
cat "$out/SHA256SUMS"
