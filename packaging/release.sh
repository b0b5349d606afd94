#!/usr/bin/env bash
# Makes a release of the checkout it is in:
#
#   packaging/release.sh DIR
#
# writes into DIR, which must be empty or not exist yet, the source tarball
# j6enc-VERSION.tar.gz, the Debian packages for amd64 and arm64, the RPMs for
# x86_64 and aarch64, the tarballs with the static program for both, the
# Windows ZIP, and SHA256SUMS, which `sha256sum -c SHA256SUMS` accepts.
# VERSION is that of the newest release in CHANGELOG.md.
#
# The source tarball holds the files that git tracks, as they are in the
# checkout; every package is built from that tarball, unpacked where there is
# no git, so what a distribution gets is what the packages were made from.
# No test is built. Two runs give the same bytes, whoever runs them, where and
# when: every time stamp is the release's, midnight UTC of the newest
# CHANGELOG.md date (SOURCE_DATE_EPOCH, when set, overrides it); the builds
# run with a fixed umask, time zone and locale and an environment of their
# own, so that neither the builder's flags nor ~/.rpmmacros reach them; and
# every file in a package belongs to root.
set -euo pipefail
umask 022
export LC_ALL=C

fail() {
    echo "release.sh: $*" >&2
    exit 1
}
(($# == 1)) || {
    echo "usage: packaging/release.sh DIR" >&2
    exit 2
}
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
need gzip gzip
need fakeroot fakeroot
need sha256sum coreutils
need dpkg-shlibdeps dpkg-dev
need rpmbuild rpm
need aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
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

git -C "$source" rev-parse --is-inside-work-tree > /dev/null 2>&1 \
    || fail "$source is not a git checkout: the release is made from one"
[[ ! -e $out ]] || [[ -d $out && -z $(ls -A "$out") ]] || fail "$out: not an empty directory"

# The version and the date of the newest release.
heading=$(grep -m1 '^## ' "$source/CHANGELOG.md") || true
[[ $heading =~ ^##\ ([0-9]+\.[0-9]+\.[0-9]+)\ -\ ([0-9]{4}-[0-9]{2}-[0-9]{2})$ ]] \
    || fail "CHANGELOG.md: the newest release must start \"## VERSION - YYYY-MM-DD\""
version=${BASH_REMATCH[1]}
if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
    SOURCE_DATE_EPOCH=$(date -u -d "${BASH_REMATCH[2]}" +%s)
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH: \"$SOURCE_DATE_EPOCH\" is not a number of seconds"
echo "release.sh: j6enc $version from $(git -C "$source" describe --always --dirty)," \
    "time stamp $(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T UTC') (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
if [[ -n $(git -C "$source" status --porcelain --untracked-files=no) ]]; then
    echo "release.sh: warning: the checkout has uncommitted changes, which the release holds" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/home"
out=$(cd "$out" && pwd)
name=j6enc-$version

# Runs a command of the build with nothing of the caller's environment but
# PATH: an empty home, the release's time, UTC and the C locale.
build_env() {
    env -i PATH="$PATH" HOME="$work/home" TZ=UTC LC_ALL=C SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" "$@"
}
# Runs cpack in build directory $1 for generators $2 as root, or what looks
# like root to it: the tarballs and the ZIP record their files' owner, which
# would otherwise be whoever runs this.
pack() { (cd "$1" && build_env fakeroot cpack -G "$2"); }

# The source tarball: the tracked files in one folder, sorted, every entry
# owned by root with the release's time and 0644 or 0755, compressed without
# name or time stamp.
echo "release.sh: the source tarball $name.tar.gz"
mkdir "$work/$name"
git -C "$source" ls-files -z | tar -C "$source" --null -T - -cf - | tar -C "$work/$name" -xf -
tar -C "$work" --format=gnu --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode=u=rwX,go=rX -cf - "$name" | gzip -9n > "$out/$name.tar.gz"

# The packages, built from the source tarball unpacked afresh.
rm -rf "${work:?}/$name"
tar -C "$work" -xzf "$out/$name.tar.gz"
cd "$work/$name"

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

cp build/release/j6enc_"$version"_amd64.deb build/aarch64/j6enc_"$version"_arm64.deb \
    build/release/"$name"-1.x86_64.rpm build/aarch64/"$name"-1.aarch64.rpm \
    build/release/"$name"-linux-x86_64.tar.gz build/aarch64/"$name"-linux-aarch64.tar.gz \
    build/windows-zip/"$name"-win64.zip "$out/"
cd "$out"
sha256sum -- * > SHA256SUMS
sha256sum -c SHA256SUMS
echo "release.sh: the release is in $out"
cat SHA256SUMS
