# shellcheck shell=bash
# The manual page and the packages: the Debian packages, the RPM, the static
# tarballs and `cmake --install`, each holding exactly its files, and each
# installed and run where it can be.

# The manual page renders without a single groff warning, and man shows the
# compressed page that is installed.
register manual "the manual page: no groff warning, and man shows it"
check_manual() {
    local warnings
    needs build release
    warnings=$(groff -man -ww -z build/release/man/j6enc.1 2>&1)
    [[ -z $warnings ]] || { echo "$warnings"; return 1; }
    MANPAGER=cat man -l build/release/man/j6enc.1.gz | grep -q 'EXIT STATUS'
}

# Plain cpack builds every package; the Debian package and the RPM hold
# exactly their files, the RPM named j6enc-VERSION-1.ARCH.rpm with its
# licence marked as the licence; the compressed files carry neither a name
# nor a time stamp (gzip -n), so they are reproducible.
register cpack "plain cpack: the DEB, the RPM and the static tarball, each with exactly its files"
check_cpack() {
    local listed gz
    needs build release
    provide --again "package release DEB" all_packages
    made "package release RPM" "package release TGZ"
    ls build/release/j6enc-*-linux-*.tar.gz
    listed=$(dpkg-deb --fsys-tarfile "$(deb_file release amd64)" | tar -t | grep -v '/$' | sed 's|^\./usr/||' | sort)
    diff <(installed_files) <(echo "$listed")
    listed=$(rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$(rpm_file)" | grep -v '^d' \
        | grep -v ' /usr/lib/\.build-id/' | sed 's|^[^ ]* /usr/||' | sort)
    diff <(rpm_files) <(echo "$listed")
    [[ $(rpm -qpL "$(rpm_file)") == /usr/share/licenses/j6enc/LICENSE ]]
    for gz in build/release/man/j6enc.1.gz build/release/doc/changelog.gz; do
        # Bytes 3 to 7 of a gzip header: the flags (no file name) and the time stamp.
        [[ $(od -An -tx1 -j3 -N5 "$gz" | tr -d ' \n') == 0000000000 ]] || { echo "$gz"; return 1; }
    done
}
all_packages() { (cd build/release && rm -f j6enc_*.deb j6enc-*.rpm j6enc-*.tar.gz && cpack); }

# lintian on the Debian package of build/BUILD for ARCH, with info tags
# shown, among them the hardening ones: any error, warning or info tag fails
# the check.
lintian_deb() {
    local deb
    needs package "$1" DEB
    deb=$(deb_file "$1" "$2")
    echo "lintian -I --fail-on error,warning,info $deb"
    lintian -I --fail-on error,warning,info "$deb"
    echo "lintian: no error, warning or info tag"
}

# The Debian package of build/BUILD for ARCH installs into an empty root, its
# program works there, run with the rest of the arguments before it (an
# emulator), and it is removed again, leaving nothing behind outside dpkg's
# own database. The root's dpkg knows the package's architecture.
dpkg_root() {
    local deb arch root work before after
    needs package "$1" DEB
    needs build release
    deb=$(deb_file "$1" "$2")
    arch=$2
    shift 2
    root=$(mktemp -d)
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    touch "$root/var/lib/dpkg/status"
    local dpkg=(dpkg "--root=$root" --force-not-root --force-depends --log=/dev/null)
    [[ $arch == "$(dpkg --print-architecture)" ]] || "${dpkg[@]}" --add-architecture "$arch"
    before=$(outside_db "$root" var/lib/dpkg)
    "${dpkg[@]}" -i "$deb"
    [[ $(dpkg-query "--root=$root" -W -f='${db:Status-Status}' j6enc) == installed ]]
    diff <(installed_files) <(cd "$root/usr" && find . ! -type d | sed 's|^\./||' | sort)
    work=$(mktemp -d)
    matches_release "$work" "$@" "$root/usr/bin/j6enc"
    rm -rf "$work"
    "${dpkg[@]}" -r j6enc
    after=$(outside_db "$root" var/lib/dpkg)
    diff <(echo "$before") <(echo "$after")
    rm -rf "$root"
}

# The tarball of build/BUILD for processor ARCH holds, in its one folder
# j6enc-VERSION-linux-ARCH, the static program, the manual page, the licence
# and the README, and nothing else. Its program asks for no interpreter and
# no library, and works in an empty chroot, that folder, giving the release
# build's bytes; for another architecture under EMULATOR, a static one,
# copied into the chroot. cpack -G TGZ builds the static program itself.
static_tarball() {
    local build=$1 arch=$2 emulator=${3:-} name work dir
    needs root
    needs build "$build"
    needs build release
    name=j6enc-$(version_of "$build")-linux-$arch
    provide --again "package $build TGZ" package "$build" TGZ
    work=$(mktemp -d)
    tar -xzf "build/$build/$name.tar.gz" -C "$work"
    diff <({ echo "$name"; tarball_files | sed "s|^|$name/|"; } | sort) \
        <(cd "$work" && find . -mindepth 1 | sed 's|^\./||' | sort)
    dir=$work/$name
    if readelf -lW "$dir/j6enc" | grep 'program interpreter'; then return 1; fi
    if readelf -dW "$dir/j6enc" | grep NEEDED; then return 1; fi
    echo "static program: $(stat -c %s "$dir/j6enc") bytes, $(readelf -hW "$dir/j6enc" | grep -E '^ *Type:')"
    if [[ -n $emulator ]]; then
        cp "$emulator" "$dir/"
        matches_release "$dir" chroot "$dir" "/$(basename "$emulator")" /j6enc
    else
        matches_release "$dir" chroot "$dir" /j6enc
    fi
    rm -rf "$work"
}

register deb_lintian_amd64 "lintian on the amd64 DEB: no error, warning or info tag"
check_deb_lintian_amd64() { lintian_deb release amd64; }

# The Debian package's Installed-Size is dpkg-gencontrol's sum over its
# files: KiB rounded up a file or link (a hard link's once), 1 anything else.
register deb_installed_size "the DEB's Installed-Size, from its files as dpkg-gencontrol sums them"
check_deb_installed_size() {
    local deb tree size
    needs package release DEB
    deb=$(deb_file release amd64)
    tree=$(mktemp -d)
    dpkg-deb -x "$deb" "$tree"
    size=$(find "$tree" -printf '%y %s %i %n\n' | awk '$1 != "f" && $1 != "l" { n += 1; next }
        $4 == 1 || !seen[$3]++ { n += int(($2 + 1023) / 1024) } END { print n }')
    rm -rf "$tree"
    echo "Installed-Size: $(dpkg-deb -f "$deb" Installed-Size), from the files: $size"
    [[ $(dpkg-deb -f "$deb" Installed-Size) == "$size" ]]
}

# The README's plain build (tests off) and cpack -G DEB, by the user nobody:
# a stack protector, every entry root/root.
register deb_plain_build_as_user "the README's plain build and cpack -G DEB by the user nobody: stack protector, root/root"
check_deb_plain_build_as_user() {
    local work
    needs root
    work=$(mktemp -d)
    chmod 755 "$work"
    mkdir "$work/source"
    git ls-files -z | xargs -0 cp --parents -t "$work/source"
    chown -R nobody: "$work"
    setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups env -i PATH="$PATH" HOME="$work" \
        bash -c 'set -e; cd "$1"; cmake -S source -B build -DJ6ENC_TESTS=OFF > /dev/null
            cmake --build build -j2; cd build; cpack -G DEB' _ "$work"
    nm -D "$work/build/j6enc" | grep -q __stack_chk_fail
    dpkg-deb -c "$work"/build/j6enc_*.deb
    if dpkg-deb -c "$work"/build/j6enc_*.deb | awk '$2 != "root/root"' | grep .; then return 1; fi
    rm -rf "$work"
}

register deb_root_amd64 "the amd64 DEB installed into and removed from a scratch root"
check_deb_root_amd64() { dpkg_root release amd64; }

# rpmlint's whole report: any error but the missing signature fails the
# check, and so does a report that checked no package.
register rpm_lint "rpmlint on the RPM: no error but the missing signature"
check_rpm_lint() {
    local report
    needs package release RPM
    report=$(rpmlint "$(rpm_file)" 2>&1) || true
    echo "$report"
    grep -q '^ *1 packages and 0 specfiles checked' <<< "$report"
    if grep ': E: ' <<< "$report" | grep -v ': E: no-signature$'; then return 1; fi
}

# The RPM installs into an empty root with a database of its own (--nodeps:
# no package there provides the C library), its program works there, and it
# is removed again, leaving nothing behind outside the database. The root has
# the directories that an RPM system's filesystem package owns, which the RPM
# leaves to it.
register rpm_root "the RPM installed into and removed from a scratch root"
check_rpm_root() {
    local root work before after
    needs package release RPM
    needs build release
    root=$(mktemp -d)
    mkdir -p "$root"/usr/{bin,lib,share/man/man1,share/licenses}
    local rpm=(rpm "--root=$root" --dbpath=/var/lib/rpm)
    "${rpm[@]}" --initdb
    before=$(outside_db "$root" var/lib/rpm)
    "${rpm[@]}" -i --nodeps "$(rpm_file)"
    "${rpm[@]}" -q j6enc
    diff <(rpm_files) <(cd "$root/usr" && find . ! -type d ! -path './lib/.build-id/*' | sed 's|^\./||' | sort)
    work=$(mktemp -d)
    matches_release "$work" "$root/usr/bin/j6enc"
    rm -rf "$work"
    "${rpm[@]}" -e j6enc
    after=$(outside_db "$root" var/lib/rpm)
    diff <(echo "$before") <(echo "$after")
    rm -rf "$root"
}

register tarball_native "the static tarball of this machine's architecture, run in an empty chroot"
check_tarball_native() { static_tarball release "$(uname -m)"; }

# cmake --install puts exactly the Debian package's files in place; with
# --strip they are the package's bytes too.
register install_tree "cmake --install gives the DEB's files, and with --strip its bytes"
check_install_tree() {
    local prefix unpacked
    needs package release DEB
    prefix=$(mktemp -d)
    cmake --install build/release --prefix "$prefix"
    diff <(installed_files) <(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort)
    rm -rf "$prefix"
    prefix=$(mktemp -d)
    unpacked=$(mktemp -d)
    cmake --install build/release --prefix "$prefix" --strip
    dpkg-deb -x "$(deb_file release amd64)" "$unpacked"
    diff -r "$prefix" "$unpacked/usr"
    rm -rf "$prefix" "$unpacked"
}

register deb_arm64 "the arm64 DEB from the aarch64 cross build"
check_deb_arm64() {
    needs build aarch64
    provide --again "package aarch64 DEB" package aarch64 DEB
}

register deb_lintian_arm64 "lintian on the arm64 DEB: no error, warning or info tag"
check_deb_lintian_arm64() { lintian_deb aarch64 arm64; }

register deb_root_arm64 "the arm64 DEB installed into and removed from a scratch root, run under qemu"
check_deb_root_arm64() { dpkg_root aarch64 arm64 qemu-aarch64 -L /usr/aarch64-linux-gnu; }

register tarball_aarch64 "the aarch64 static tarball, run in an empty chroot under a static qemu"
check_tarball_aarch64() { static_tarball aarch64 aarch64 /usr/bin/qemu-aarch64-static; }

# CPack's source package is not generated: it would pack the build tree,
# and under -G TGZ replace the static tarball. Asking for it fails and
# leaves that tarball as it was.
register no_source_package "no CPack source package: asking for it fails and changes nothing"
check_no_source_package() {
    local tarball before
    needs package release TGZ
    tarball=$(ls build/release/j6enc-*-linux-*.tar.gz)
    before=$(sha256sum "$tarball")
    [[ ! -e build/release/CPackSourceConfig.cmake ]]
    if (cd build/release && cpack --config CPackSourceConfig.cmake -G TGZ); then return 1; fi
    if cmake --build build/release --target package_source; then return 1; fi
    [[ $(sha256sum "$tarball") == "$before" ]]
}
