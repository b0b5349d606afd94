# shellcheck shell=bash
# What the checks of .ci/checks/ share: what a check needs (`needs`), how it
# skips, and helpers that several families use. Sourced by .ci/run, which
# runs in the checkout's top directory and sets CI_STATE, a directory that
# lasts one run of .ci/run, and CI_CHECK, the id of the running check.

# Ends the running check as skipped, for the reason given.
skip() {
    echo "$*" > "$CI_STATE/skipped"
    exit 77
}

# Makes THING by running COMMAND in a subshell that stops at its first
# failing command, once per run of .ci/run: a THING made already is not made
# again, and a THING that failed to be made skips the checks that need it
# later, naming the check where it failed. With --again, THING is made even
# if it was made already.
provide() {
    local again=no thing key status
    if [[ $1 == --again ]]; then
        again=yes
        shift
    fi
    thing=$1
    shift
    key=$CI_STATE/made/${thing//[^a-z0-9_-]/_}
    mkdir -p "$CI_STATE/made"
    if [[ $again == no && -e $key.done ]]; then return 0; fi
    if [[ -e $key.failed ]]; then skip "needs $thing, which failed in $(cat "$key.failed")"; fi
    echo "--- making $thing"
    set +e
    (
        set -e
        "$@"
    )
    status=$?
    set -e
    if ((status != 0)); then
        echo "$CI_CHECK" > "$key.failed"
        echo "--- could not make $thing (exit status $status)"
        return 1
    fi
    touch "$key.done"
}

# Records THING... as made in this run, by the check itself.
made() {
    local thing
    mkdir -p "$CI_STATE/made"
    for thing in "$@"; do touch "$CI_STATE/made/${thing//[^a-z0-9_-]/_}.done"; done
}

# What a check needs, made when it is missing:
#   needs build PRESET [TARGET]  the preset's build directory, configured if it
#                                is not, and built (incrementally; TARGET alone
#                                if given)
#   needs configured PRESET      the preset's build directory, configured
#   needs package BUILD GEN      CPack's package GEN (DEB, RPM, TGZ) of
#                                build/BUILD
#   needs release                build/releases/first, a signed release of
#                                this commit by packaging/release.sh, and
#                                build/releases/signer.asc, the signer's key
#   needs wine                   a wine with a prefix of this run's own, started
#   needs root                   root, else the check is skipped
#   needs x86_64                 an x86-64 machine, else the check is skipped
needs() {
    local what=$1
    shift
    case $what in
        build)
            if (($# > 1)); then
                [[ ! -e $CI_STATE/made/build_$1.done ]] || return 0
                provide "build $1 $2" build_preset "$@"
            else
                provide "build $1" build_preset "$1"
            fi
            ;;
        configured) [[ -f build/$1/CMakeCache.txt ]] || provide "configure $1" cmake --preset "$1" ;;
        package)
            needs build "$1"
            provide "package $1 $2" package "$1" "$2"
            ;;
        release)
            if [[ $(cat build/releases/first.commit 2> /dev/null) == "$(git rev-parse HEAD)" ]]; then
                made release
            fi
            provide release first_release
            ;;
        wine)
            export WINEPREFIX=$CI_STATE/wine/prefix TMPDIR=$CI_STATE/wine/tmp WINEDEBUG=-all LC_ALL=C.UTF-8
            provide wine start_wine
            ;;
        root) ((EUID == 0)) || skip "needs root" ;;
        x86_64) [[ $(uname -m) == x86_64 ]] || skip "needs an x86-64 machine, this is $(uname -m)" ;;
        *)
            echo "needs: nothing called $what"
            return 2
            ;;
    esac
}

# Configures build/PRESET if it is not, and builds it (TARGET alone, if given).
build_preset() {
    [[ -f build/$1/CMakeCache.txt ]] || cmake --preset "$1"
    cmake --build --preset "$1" ${2:+--target "$2"}
}

# Builds CPack's package GEN in build/BUILD, in place of an older one.
package() {
    case $2 in
        DEB) rm -f "build/$1"/j6enc_*.deb ;;
        RPM) rm -f "build/$1"/j6enc-*.rpm ;;
        TGZ) rm -f "build/$1"/j6enc-*-linux-*.tar.gz ;;
    esac
    (cd "build/$1" && cpack -G "$2")
}

# Wine, for the Windows build's tests: a prefix of its own in this run's
# directory, never ~/.wine, and the temporary files there too (the
# wineserver's socket among them); no debug channels; a UTF-8 locale, without
# which wine garbles non-ASCII arguments (`needs wine` sets all that); and one
# wineserver for the whole run, which .ci/run stops when it ends. Its
# background services start here, with no standard streams: started by a
# test, they would hold that test's output pipe open for seconds, and start
# again for the next test.
start_wine() {
    mkdir -p "$WINEPREFIX" "$TMPDIR"
    wineserver -p < /dev/null > /dev/null 2>&1
    wineboot --init < /dev/null > /dev/null 2>&1
    echo "wine $(wine --version), prefix $WINEPREFIX"
}

# The release that build/releases/first holds: packaging/release.sh, run as
# root with umask 022, in UTC and the C locale, on the checkout's file
# system, from a fresh clone of this commit made with umask 002 that holds
# an untracked file and a filled build/; signed with a throwaway key, made in
# a GNUPGHOME of its own, whose public half is left in
# build/releases/signer.asc.
first_release() {
    local releases=$PWD/build/releases
    rm -rf "$releases/first" "$releases/first.commit" "$releases/signer.asc" "$releases/work"
    mkdir -p "$releases/work/tmp"
    clone_commit "$releases/work/j6enc" 002
    mkdir "$releases/work/j6enc/build"
    echo stray > "$releases/work/j6enc/untracked.txt"
    cp -r "$PWD/CMakeLists.txt" "$PWD/src" "$releases/work/j6enc/build/"
    (
        GNUPGHOME=$(mktemp -d)
        export GNUPGHOME
        trap 'gpgconf --kill gpg-agent; rm -rf "$GNUPGHOME"' EXIT
        gpg --batch --quiet --passphrase '' --quick-gen-key 'j6enc CI <ci@j6enc.invalid>' ed25519 sign never
        gpg --armor --export ci@j6enc.invalid > "$releases/signer.asc"
        cd "$releases/work/j6enc" && umask 022 && TMPDIR=$releases/work/tmp TZ=UTC LC_ALL=C \
            packaging/release.sh --sign ci@j6enc.invalid "$releases/first"
    )
    rm -rf "$releases/work"
    git rev-parse HEAD > "$releases/first.commit"
}

# A fresh clone of this checkout's commit in DIR, made with umask UMASK, its
# HEAD tagged vVERSION for the newest CHANGELOG.md version, as a release's is.
clone_commit() {
    (umask "$2" && git clone -q "$PWD" "$1")
    git -C "$1" checkout -q --detach "$(git rev-parse HEAD)"
    git -C "$1" tag -f "v$(sed -n '/^## /{s/^## \([^ ]*\) .*/\1/p;q}' "$1/CHANGELOG.md")" > /dev/null
}

# How the build machine runs the programs of the cross build in $1.
emulator() { sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:STRING=//p' "$1/CMakeCache.txt" | tr ';' ' '; }

version_of() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "build/$1/CMakeCache.txt"; }
# The Debian package built in build/BUILD for architecture ARCH.
deb_file() { ls "build/$1"/j6enc_*_"$2".deb; }
rpm_file() { ls "build/release/j6enc-$(version_of release)-1.$(uname -m).rpm"; }

# What the Debian package and `cmake --install` hold, below their prefix.
installed_files() {
    printf '%s\n' bin/j6enc share/man/man1/j6enc.1.gz share/doc/j6enc/copyright \
        share/doc/j6enc/changelog.gz | sort
}
# What the RPM holds below /usr, besides the links that rpmbuild adds in
# lib/.build-id.
rpm_files() { printf '%s\n' bin/j6enc share/licenses/j6enc/LICENSE share/man/man1/j6enc.1.gz | sort; }
# What the tarball holds in its one folder.
tarball_files() { printf '%s\n' LICENSE README j6enc j6enc.1 | sort; }

# Every path below DIR except those below DATABASE, the package manager's.
outside_db() { (cd "$1" && find . -path "./$2" -prune -o -print | sort); }

# Runs "$@" in (the program under test on a file "in") in DIR, on SIZE fresh
# random bytes, and compares DIR/in.DAT with the release build's output.
size_matches_release() {
    local size=$1 dir=$2 reference
    shift 2
    head -c "$size" /dev/urandom > "$dir/in"
    reference=$(mktemp -d)
    cp "$dir/in" "$reference/in"
    (cd "$dir" && "$@" in > /dev/null)
    build/release/j6enc "$reference/in" > /dev/null
    cmp "$dir/in.DAT" "$reference/in.DAT"
    rm -rf "$reference"
}
# The same on 3000 bytes.
matches_release() { size_matches_release 3000 "$@"; }
