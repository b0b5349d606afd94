# shellcheck shell=bash
# The release: made twice, under different conditions, with the same bytes;
# and its source tarball, which builds and tests where there is no git.

# The artifacts of a release, as SHA256SUMS lists them.
release_files() {
    local v
    v=$(version_of release)
    printf '%s\n' "j6enc-$v.tar.gz" "j6enc_${v}_amd64.deb" "j6enc_${v}_arm64.deb" "j6enc-$v-1.x86_64.rpm" \
        "j6enc-$v-1.aarch64.rpm" "j6enc-$v-linux-x86_64.tar.gz" "j6enc-$v-linux-aarch64.tar.gz" \
        "j6enc-$v-win64.zip" | sort
}

# packaging/release.sh run twice from fresh clones of this commit gives the
# same SHA256SUMS, listing the eight artifacts, which each run verifies. The
# first is the release that `needs release` makes (.ci/lib.sh); the second,
# seconds later, differs from it in every way that .ci/release_elsewhere
# says. The releases stay in build/releases, the first for the next check.
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
    diff <(git ls-files | sed "s|^|$name/|" | sort) <(cd "$work" && find . ! -type d | sed 's|^\./||' | sort)
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
