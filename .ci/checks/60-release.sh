# shellcheck shell=bash
# The release: made twice, under different conditions, with the same bytes;
# and its source tarball, which builds and tests where there is no git.

# The artifacts of a release and its build record, as SHA256SUMS lists them.
release_files() {
    local v
    v=$(version_of release)
    printf '%s\n' "j6enc-$v.tar.gz" "j6enc_${v}_amd64.deb" "j6enc_${v}_arm64.deb" "j6enc-$v-1.x86_64.rpm" \
        "j6enc-$v-1.aarch64.rpm" "j6enc-$v-linux-x86_64.tar.gz" "j6enc-$v-linux-aarch64.tar.gz" \
        "j6enc-$v-win64.zip" BUILDINFO | sort
}

# packaging/release.sh run twice from fresh clones of this commit, tagged as
# a release, gives the same SHA256SUMS, listing the eight artifacts and
# BUILDINFO, which each run verifies. The first is the release that `needs
# release` makes (.ci/lib.sh); the second, seconds later, differs from it in
# every way that .ci/release_elsewhere says. The releases stay in
# build/releases, the first for the checks after this one.
register release_twice "packaging/release.sh twice, under different conditions: the same SHA256SUMS"
check_release_twice() {
    local releases=$PWD/build/releases work namespaces=no
    needs root
    needs configured release
    rm -rf "$releases/second"
    provide --again release first_release
    work=$(mktemp -d)
    chmod 755 "$work"
    mkdir "$work/second" "$work/out"
    if unshare --uts --mount true 2> /dev/null; then
        namespaces=yes
    else
        echo "no new UTS and mount namespaces here: the second run keeps the host name and file system"
    fi
    local run=(env "J6ENC_NAMESPACES=$namespaces" .ci/release_elsewhere "$work/second" "$work/out")
    if [[ $namespaces == yes ]]; then run=(unshare --uts --mount --propagation private "${run[@]}"); fi
    "${run[@]}"
    cp -r "$work/out" "$releases/second"
    rm -rf "$work"
    diff <(release_files) <(awk '{ print $2 }' "$releases/first/SHA256SUMS")
    diff "$releases/first/SHA256SUMS" "$releases/second/SHA256SUMS"
    echo "the same SHA256SUMS from both runs:"
    cat "$releases/first/SHA256SUMS"
}

# The first release's SHA256SUMS.asc is a good signature by the throwaway key,
# checked with nothing but its public half; SHA256SUMS with one byte changed
# is refused.
register release_signed "the release's signature, by a throwaway key"
check_release_signed() {
    local first=build/releases/first
    needs release
    GNUPGHOME=$(mktemp -d)
    export GNUPGHOME
    gpg --batch --quiet --import build/releases/signer.asc
    gpg --batch --verify "$first/SHA256SUMS.asc" "$first/SHA256SUMS"
    sed '1s/^./x/' "$first/SHA256SUMS" > "$GNUPGHOME/SHA256SUMS"
    if gpg --batch --verify "$first/SHA256SUMS.asc" "$GNUPGHOME/SHA256SUMS"; then return 1; fi
    gpgconf --kill gpg-agent
    rm -rf "$GNUPGHOME"
}

# A clone checked out with core.autocrlf=true, as on Windows, has LF line
# ends in every file (.gitattributes), so its scripts run and its source
# tarball is the release's.
register lf_checkout "a checkout with core.autocrlf=true keeps LF line ends"
check_lf_checkout() {
    local work
    work=$(mktemp -d)
    git clone -q -n "$PWD" "$work"
    git -C "$work" config core.autocrlf true
    git -C "$work" checkout -q --detach "$(git rev-parse HEAD)"
    if grep -rlI $'\r' "$work" --exclude-dir=.git; then return 1; fi
    rm -rf "$work"
}

# The first release's source tarball, as tar -tvzf lists it: every entry
# 0644 or 0755 (0664 and 0775 from the umask-002 clone without --mode), owned
# by 0/0, with the release's time; exactly the files git tracks (neither
# build/ nor the untracked file of that clone) and COMMIT, naming this
# commit, which BUILDINFO names too.
register release_tarball_entries "the source tarball's entries: modes, owner, time, exactly the tracked files and COMMIT"
check_release_tarball_entries() {
    local first=build/releases/first name epoch when
    needs configured release
    needs release
    name=j6enc-$(version_of release)
    epoch=$(sed -n 's/^Source-Date-Epoch: \([0-9]*\) .*/\1/p' "$first/BUILDINFO")
    when=$(date -u -d "@$epoch" '+%F %H:%M')
    TZ=UTC tar -tvzf "$first/$name.tar.gz" > build/releases/entries
    if grep -Ev "^(-rw-r--r--|-rwxr-xr-x|drwxr-xr-x) 0/0 +[0-9]+ $when $name/" build/releases/entries; then
        return 1
    fi
    diff <({ git ls-files && echo COMMIT; } | sed "s|^|$name/|" | sort) \
        <(awk '$1 !~ /^d/ { print $6 }' build/releases/entries | sort)
    [[ $(tar -xzOf "$first/$name.tar.gz" "$name/COMMIT") == "$(git rev-parse HEAD)" ]]
    grep -x "Commit: $(git rev-parse HEAD)" "$first/BUILDINFO"
    grep -x 'Snapshot: no' "$first/BUILDINFO"
}

# From a clone without the tag, and from a tagged one with a tracked file
# changed, packaging/release.sh refuses, saying why, and leaves DIR empty
# (or absent); --snapshot builds the changed one, and its file names, COMMIT
# and BUILDINFO say it is a snapshot of this commit with changes.
register release_refusals_and_snapshot "packaging/release.sh refuses an untagged or changed checkout; --snapshot marks its output"
check_release_refusals_and_snapshot() {
    local work version reason
    needs configured release
    work=$(mktemp -d)
    version=$(version_of release)
    clone_commit "$work/j6enc" 022
    git -C "$work/j6enc" tag -d "v$version" > /dev/null
    mkdir "$work/empty"
    if reason=$(cd "$work/j6enc" && TMPDIR=$work packaging/release.sh "$work/empty" 2>&1); then return 1; fi
    echo "$reason"
    [[ $reason == *"no tag v$version"* && -z $(ls -A "$work/empty") ]]
    git -C "$work/j6enc" tag "v$version"
    echo "# a change" >> "$work/j6enc/README.md"
    if reason=$(cd "$work/j6enc" && TMPDIR=$work packaging/release.sh "$work/absent" 2>&1); then return 1; fi
    echo "$reason"
    [[ $reason == *"uncommitted changes"*README.md* && ! -e $work/absent ]]
    (cd "$work/j6enc" && TMPDIR=$work packaging/release.sh --snapshot "$work/snapshot")
    diff <(release_files | sed "s/$version/$version~snapshot/" | sort) \
        <(awk '{ print $2 }' "$work/snapshot/SHA256SUMS" | sort)
    grep -x 'Snapshot: yes' "$work/snapshot/BUILDINFO"
    grep -x "Commit: $(git rev-parse HEAD)-dirty" "$work/snapshot/BUILDINFO"
    [[ $(tar -xzOf "$work/snapshot/j6enc-$version~snapshot.tar.gz" "j6enc-$version/COMMIT") \
        == "$(git rev-parse HEAD)-dirty snapshot" ]]
    rm -rf "$work"
}

# From the published files alone: the first release's files copied where
# there is no git, and its source tarball unpacked elsewhere, whose
# release.sh --verify, run with TAR_OPTIONS=--xattrs, rebuilds the release
# and finds every file identical. With one byte of the arm64 package
# changed, it names that package and fails: at once, against SHA256SUMS;
# and with SHA256SUMS changed to match, as a changed release would be, after
# the rebuild, which gives every other file identical.
register release_verify "packaging/release.sh --verify from the published files: identical, and a changed byte named"
check_release_verify() {
    local work version output
    needs configured release
    needs release
    work=$(mktemp -d)
    version=$(version_of release)
    cp -r build/releases/first "$work/published"
    tar -C "$work" -xzf "$work/published/j6enc-$version.tar.gz"
    if git -C "$work/j6enc-$version" rev-parse --git-dir 2> /dev/null; then return 1; fi
    output=$(TMPDIR=$work TAR_OPTIONS=--xattrs "$work/j6enc-$version/packaging/release.sh" --verify "$work/published")
    echo "$output"
    diff <(release_files | sed 's/$/: identical/') <(grep ': identical$' <<< "$output" | sort)
    printf '\xff' | dd of="$work/published/j6enc_${version}_arm64.deb" bs=1 seek=100 conv=notrunc status=none
    if output=$(TMPDIR=$work "$work/j6enc-$version/packaging/release.sh" --verify "$work/published" 2>&1); then
        return 1
    fi
    echo "$output"
    [[ $(grep DIFFERS <<< "$output") == "j6enc_${version}_arm64.deb: DIFFERS: the file in"* ]]
    (cd "$work/published" && sed -i "/ j6enc_${version}_arm64.deb\$/d" SHA256SUMS \
        && sha256sum "j6enc_${version}_arm64.deb" >> SHA256SUMS)
    if output=$(TMPDIR=$work "$work/j6enc-$version/packaging/release.sh" --verify "$work/published" 2>&1); then
        return 1
    fi
    echo "$output"
    [[ $(grep DIFFERS <<< "$output") == "j6enc_${version}_arm64.deb: DIFFERS: rebuilt"* ]]
    diff <(release_files | grep -v _arm64.deb | sed 's/$/: identical/') <(grep ': identical$' <<< "$output" | sort)
    rm -rf "$work"
}

# The source tarball holds exactly the files that git tracks, in one folder
# j6enc-VERSION; unpacked where there is no git, the README's two commands
# (the first build and run, and every test) pass there.
register source_tarball "the release's source tarball, without git: the README's two commands"
check_source_tarball() {
    local name work first second
    needs configured release
    needs release
    name=j6enc-$(version_of release)
    work=$(mktemp -d)
    tar -xzf "build/releases/first/$name.tar.gz" -C "$work"
    diff <({ git ls-files && echo COMMIT; } | sed "s|^|$name/|" | sort) \
        <(cd "$work" && find . ! -type d | sed 's|^\./||' | sort)
    if git -C "$work/$name" rev-parse --git-dir 2> /dev/null; then return 1; fi
    first=$(sed -n 's/^    \(cmake --workflow --preset release .*\)$/\1/p' "$work/$name/README.md")
    second=$(sed -n 's/^    \(cmake --workflow --preset test\)$/\1/p' "$work/$name/README.md")
    [[ -n $first && -n $second ]] || { echo "README.md: the two commands not found"; return 1; }
    echo "$first"
    (cd "$work/$name" && bash -c "$first")
    [[ $(stat -c %s "$work/$name/hello.txt.DAT") == 13 ]]
    echo "$second"
    (cd "$work/$name" && bash -c "$second")
    rm -rf "$work"
}
