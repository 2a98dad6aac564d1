#!/usr/bin/env bash
# Builds the Debian packages twice (revisions 1 and 2), runs lintian on them, installs them on
# this machine with apt-get and checks what they made (the group velmor, the configuration made
# from the shipped template with its owner and mode, the state directory), runs the installed
# till's demo against the installed plug-in, then has an ordinary user in group velmor sell
# through the installed configuration against a velmor-sandbox on loopback and queue a
# cancellation in /var/lib/velmor; checks the shipped alert rules and the metrics with promtool
# and has the shipped metrics service's commands write the textfile that node_exporter serves;
# upgrades unattended to revision 2, whose template differs, and checks that nothing asked and
# the edited velmor.ini survives it; checks that an unreadable configuration stops a sale at
# once, purges everything and checks that nothing of it is left (the metrics file included);
# then installs velmor-host and velmor-plugin alone, checks that the plug-in's libraries
# resolve, and purges them. Needs root; refuses to touch packages, a state directory or a user
# that were there before it started, and leaves the machine as it found it (the group velmor,
# which a purge keeps as Debian does with system groups, goes if this script made it).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${PACKAGE_BUILD:-build-package}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
PACKAGES=(velmor-host velmor-plugin velmor-sandbox velmor-till)
GROUP=velmor
STATE_DIR=/var/lib/velmor
CHECK_USER=velmor-check
TEXTFILE_DIR=/var/lib/prometheus/node-exporter
export DEBIAN_FRONTEND=noninteractive

fail() {
    echo "check-package: FAIL: $*" >&2
    exit 1
}
step() {
    echo "== check-package: $*"
}
# Whether dpkg has the package, installed or with its configuration files left.
is_installed() {
    case "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" in
    "" | *not-installed) return 1 ;;
    *) return 0 ;;
    esac
}
# stat's "owner:group mode" of a path, e.g. "root:velmor 640".
owner_mode() {
    stat -c '%U:%G %a' "$1"
}
# Whether a command's output holds a line matching a pattern. Not `command | grep -q`: grep
# stops at the first match, and under pipefail the command's broken pipe would fail the test.
output_has() {
    local pattern=$1 output
    shift
    output=$("$@")
    grep -q -- "$pattern" <<<"$output"
}

for package in "${PACKAGES[@]}"; do
    is_installed "$package" && fail "$package is already installed here; purge it first (dpkg --purge $package)"
done
[ ! -e "$STATE_DIR" ] || fail "$STATE_DIR is already there; it is not this script's to remove"
! getent passwd "$CHECK_USER" >/dev/null || fail "the user $CHECK_USER is already there"
group_was_there=0
if getent group "$GROUP" >/dev/null; then
    group_was_there=1
fi

work=$(mktemp -d)
chmod 0755 "$work" # apt reads the packages as its own unprivileged user
user_dir=""
sandbox_pid=""
exporter_pid=""
made_user=0
cleanup() {
    set +e
    [ -z "$sandbox_pid" ] || kill "$sandbox_pid" 2>/dev/null
    [ -z "$exporter_pid" ] || kill "$exporter_pid" 2>/dev/null
    for package in "${PACKAGES[@]}"; do
        is_installed "$package" && $SUDO dpkg --purge "$package" >/dev/null 2>&1
    done
    [ "$made_user" -eq 0 ] || $SUDO userdel "$CHECK_USER" >/dev/null 2>&1
    if [ "$group_was_there" -eq 0 ] && getent group "$GROUP" >/dev/null; then
        $SUDO groupdel "$GROUP" >/dev/null 2>&1
    fi
    [ -z "$user_dir" ] || $SUDO rm -rf "$user_dir"
    rm -rf "$work"
}
trap cleanup EXIT

# apt-get, as a fleet's unattended upgrade runs it: it brings in the dependencies, and with no
# terminal and no --force-conf* option any question dpkg asked would end it with an error.
apt_install() {
    local log=$1
    shift
    $SUDO apt-get install -y --no-install-recommends "$@" >"$log" 2>&1 </dev/null
}

# The tools the checks use beyond the build's: promtool (Debian's prometheus) for the alert
# rules and the metrics, node_exporter for the textfile it serves, systemd-analyze for the units,
# man for the manual pages.
tools=()
command -v promtool >/dev/null || tools+=(prometheus)
command -v prometheus-node-exporter >/dev/null || tools+=(prometheus-node-exporter)
command -v systemd-analyze >/dev/null || tools+=(systemd)
command -v man >/dev/null || tools+=(man-db)
if [ ${#tools[@]} -gt 0 ]; then
    step "installing ${tools[*]}"
    $SUDO apt-get install -y --no-install-recommends "${tools[@]}" >/dev/null </dev/null ||
        fail "apt-get install ${tools[*]}"
fi

# Every file the packages named (from dpkg -L before the purge) that is still there; a
# directory of the system (/usr/bin, /lib) stays, one of ours would be empty now.
left_after_purge() {
    local files=$1 left="" path
    while IFS= read -r path; do
        [ -n "$path" ] || continue
        if [ -d "$path" ]; then
            # A link to a directory is the system's (/lib on a merged /usr), never ours.
            [ -L "$path" ] || [ -n "$(ls -A "$path")" ] || left+=" $path"
        elif [ -e "$path" ] || [ -L "$path" ]; then
            left+=" $path"
        fi
    done <<<"$files"
    for path in "$config" "$config".dpkg-old "$config".dpkg-dist "$STATE_DIR" "$TEXTFILE_DIR/velmor.prom"; do
        [ ! -e "$path" ] || left+=" $path"
    done
    echo "$left"
}

# Two builds of the same sources: revision 1, and revision 2 for the upgrade.
for release in 1 2; do
    step "building the packages, revision $release"
    rm -f "$BUILD"/velmor-*.deb
    make --no-print-directory package PACKAGE_BUILD="$BUILD" PACKAGE_RELEASE="$release" >"$work/build-$release.log" 2>&1 ||
        { tail -40 "$work/build-$release.log"; fail "make package (revision $release)"; }
    mkdir -p "$work/$release"
    for package in "${PACKAGES[@]}"; do
        cp "$BUILD/${package}"_*-"$release"_*.deb "$work/$release/" ||
            fail "revision $release did not give $package"
    done
done
chmod -R a+rX "$work"

step "lintian: no error, no hardening tag"
lintian --display-info --tag-display-limit 0 --fail-on error "$work"/1/*.deb >"$work/lintian.out" 2>&1 ||
    { cat "$work/lintian.out"; fail "lintian reports errors"; }
if grep -E '^[EWI]: .*hardening-' "$work/lintian.out"; then
    fail "lintian reports a hardening tag"
fi
# The overrides explain fortify's missing run-time checks only; lintian's checks of relro,
# BIND_NOW and PIE are never overridden, and the stack protector has no tag of its own.
mkdir -p "$work/tree"
for deb in "$work"/1/*.deb; do
    dpkg-deb -x "$deb" "$work/tree"
done
overridden=$(cat "$work"/tree/usr/share/lintian/overrides/* | { grep -o '^[^#]*hardening-[a-z-]*' || true; } |
    grep -o 'hardening-[a-z-]*$' | sort -u || true)
[ -z "$overridden" ] || [ "$overridden" = hardening-no-fortify-functions ] ||
    fail "the lintian overrides hide: $overridden"
while IFS= read -r elf; do
    output_has 'BIND_NOW' readelf -d "$elf" || fail "$elf is not linked with BIND_NOW"
    output_has 'GNU_RELRO' readelf -l "$elf" || fail "$elf has no relro segment"
    output_has '__stack_chk_fail' nm -D --undefined-only "$elf" || fail "$elf has no stack protector"
    case "$elf" in
    */bin/*) output_has 'Flags:.*PIE' readelf -d "$elf" || fail "$elf is not a PIE" ;;
    esac
done < <(find "$work/tree" -type f -exec sh -c 'readelf -h "$1" >/dev/null 2>&1' sh {} \; -print)
grep -q -- '-D_FORTIFY_SOURCE=' "$BUILD/CMakeCache.txt" || fail "the packages were built without _FORTIFY_SOURCE"

step "installing revision 1 with apt-get"
apt_install "$work/install.log" "$work"/1/*.deb || { cat "$work/install.log"; fail "apt-get install"; }
plugin=$(dpkg -L velmor-plugin | grep '/libvelmor\.so$') || fail "velmor-plugin installs no libvelmor.so"
template=$(dpkg -L velmor-plugin | grep '^/usr/share/velmor/velmor\.ini$') ||
    fail "velmor-plugin ships no template /usr/share/velmor/velmor.ini"
# The configuration is the till's file, made by postinst, which dpkg never compares with a new
# template: no conffile at all.
[ -z "$(dpkg-query -W -f='${Conffiles}' velmor-plugin)" ] ||
    fail "velmor-plugin has conffiles: $(dpkg-query -W -f='${Conffiles}' velmor-plugin)"
config=$(readlink -f "$(dirname "$plugin")/velmor.ini")
[ "$config" = /etc/velmor/velmor.ini ] || fail "the plug-in's velmor.ini leads to $config, not /etc/velmor/velmor.ini"
[ -f "$config" ] || fail "postinst made no $config"
cmp -s <(tail -n +2 "$config") <(tail -n +2 "$template") || fail "$config is not made from $template"
till=$(dpkg -L velmor-till | grep '/bin/till$') || fail "velmor-till installs no till"
sandbox=$(dpkg -L velmor-sandbox | grep '/bin/velmor-sandbox$') || fail "velmor-sandbox installs no velmor-sandbox"
gid=$(getent group "$GROUP" | cut -d: -f3) || fail "no group $GROUP after the install"
[ "$gid" -lt 1000 ] || fail "the group $GROUP ($gid) is not a system group"
[ "$(owner_mode "$config")" = "root:$GROUP 640" ] || fail "$config is $(owner_mode "$config"), not root:$GROUP 640"
[ "$(owner_mode "$STATE_DIR")" = "root:$GROUP 2775" ] ||
    fail "$STATE_DIR is $(owner_mode "$STATE_DIR"), not root:$GROUP 2775"
# Where the plug-in reads it: velmor/velmor.ini in the pay-systems directory, beside itself.
[ "$(readlink -f "$(dirname "$plugin")/velmor.ini")" = "$config" ] ||
    fail "$(dirname "$plugin")/velmor.ini does not lead to $config"

step "the plug-in exports its entry points only"
exported=$(nm -D --defined-only "$plugin" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exported" = "qt_plugin_instance qt_plugin_query_metadata " ] ||
    fail "$plugin exports: $exported"

step "the programs' versions and manual pages"
version=$(dpkg-query -W -f='${Version}' velmor-till)
version=${version%-*}
gui=$(dpkg -L velmor-till | grep '/bin/till-gui$') || fail "velmor-till installs no till-gui"
for program in "$till" "$gui" "$sandbox"; do
    [ "$(env -u DISPLAY -u QT_QPA_PLATFORM "$program" --version)" = "$(basename "$program") $version" ] ||
        fail "$program --version does not print '$(basename "$program") $version'"
done
for page in till till-gui velmor-sandbox; do
    manpage=/usr/share/man/man1/$page.1.gz
    [ -e "$manpage" ] || fail "no manual page $manpage"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$manpage" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings on $manpage: $warnings"
    for section in FILES ENVIRONMENT "EXIT STATUS"; do
        output_has "^\.SH \"\{0,1\}$section\"\{0,1\}\$" zcat "$manpage" || fail "$manpage has no $section"
    done
done

step "the installed till's demo with the installed plug-in"
(cd "$work" && "$till" demo) >"$work/demo.out" 2>"$work/demo.err" || { cat "$work/demo.out" "$work/demo.err"; fail "$till demo"; }
grep -q '7 of 7 steps as expected' "$work/demo.out" || fail "the demo did not pass every step"
(cd "$work" && "$till" --lang en demo) >"$work/demo-en.out" 2>/dev/null || fail "$till --lang en demo"
grep -q '"message": "Application rejected"' "$work/demo-en.out" || fail "--lang en shows no English answer"
(cd "$work" && "$till" --config "$config" check --json) >"$work/check.out" 2>&1 || true
grep -q "\"check\": \"plug-in\", \"result\": \"ok\", \"detail\": \"$plugin: IID Velmor, version " "$work/check.out" ||
    { cat "$work/check.out"; fail "till check does not find the installed plug-in by default"; }

step "the installed cashier's screen starts and carries no sandbox"
# The walk that draws the screen's pictures runs the sandbox service, which the shipped program
# does not carry: it is the build tree's till-gui-screenshots, and the installed one refuses it.
(cd "$work" && QT_QPA_PLATFORM=offscreen "$gui" --help) >"$work/gui.out" 2>&1 ||
    { cat "$work/gui.out"; fail "$gui --help"; }
if (cd "$work" && QT_QPA_PLATFORM=offscreen "$gui" --screenshot "$work/shots") >"$work/gui.out" 2>&1; then
    fail "$gui --screenshot ran a walk against a sandbox"
fi

step "a till user in group $GROUP sells through the installed configuration"
$SUDO useradd --no-create-home --no-user-group --groups "$GROUP" --shell /usr/sbin/nologin "$CHECK_USER" ||
    fail "useradd $CHECK_USER"
made_user=1
user_dir=$(mktemp -d)
chmod 0755 "$user_dir"
chown "$CHECK_USER" "$user_dir"
as_user() {
    (cd "$user_dir" && $SUDO runuser -u "$CHECK_USER" -- env HOME="$user_dir" timeout 120 "$@")
}
cat >"$user_dir/receipt.json" <<'EOF'
{"totalSum": 1000.0, "prepaidSum": 0.0, "items": [{"posnum": 1, "articul": "A", "name": "Kettle", "quantity": 1, "bquant": 1, "sumb": 1000.0}]}
EOF
# Refunds get no answer, so that the cancellation of the completed sale is queued.
"$sandbox" --port 0 --base-path /merchant --login till-check --password sandbox-secret \
    --fault refund=drop --fault cancel=drop >"$work/sandbox.out" 2>&1 &
sandbox_pid=$!
for _ in $(seq 50); do
    grep -q '^Velmor sandbox listening on ' "$work/sandbox.out" && break
    sleep 0.1
done
url=$(sed -n 's/^Velmor sandbox listening on //p' "$work/sandbox.out")
[ -n "$url" ] || { cat "$work/sandbox.out"; fail "$sandbox did not start"; }
case "$url" in
http://127.0.0.1:*) ;;
*) fail "$sandbox listens on $url, not on loopback" ;;
esac
# Edited in place, so that the conffile keeps its owner and mode; one status poll a second.
sed -e "s|^url=.*|url=$url|" -e 's|^login=.*|login=till-check|' -e 's|^password=.*|password=sandbox-secret|' \
    -e 's|^timeout=.*|timeout=10|' -e 's|^infoRequestInterval=.*|infoRequestInterval=1|' "$config" >"$work/velmor.ini"
cat "$work/velmor.ini" >"$config"
as_user "$till" --receipt receipt.json --log till.log sale --amount 100000 --code VELMOR-APPROVE \
    >"$work/sale.out" 2>"$work/sale.err" || { cat "$work/sale.out" "$work/sale.err"; fail "the user's till sale"; }
grep -q '"status": 0,' "$work/sale.out" || { cat "$work/sale.out"; fail "the user's sale was not approved"; }
rrn=$(sed -n 's/.*"rrn": "\([^"]*\)".*/\1/p' "$work/sale.out")
[ -n "$rrn" ] || fail "the sale's answer has no rrn"
as_user "$till" --receipt receipt.json --log till.log cancel --rrn "$rrn" --amount 100000 \
    >"$work/cancel.out" 2>"$work/cancel.err" || true
grep -q '"messageKey": "velmorCancelQueued"' "$work/cancel.out" ||
    { cat "$work/cancel.out" "$work/cancel.err"; fail "the cancellation was not queued"; }
queue=$STATE_DIR/queue.sqlite
[ -f "$queue" ] || fail "the user's till made no $queue"
[ "$(stat -c %G "$queue")" = "$GROUP" ] || fail "$queue belongs to group $(stat -c %G "$queue"), not $GROUP"
[ $(($(stat -c '0%a' "$queue") & 07)) -eq 0 ] || fail "$queue has mode $(stat -c %a "$queue"): others may read it"
[ $(($(stat -c '0%a' "$user_dir/till.log") & 07)) -eq 0 ] ||
    fail "the log has mode $(stat -c %a "$user_dir/till.log"): others may read it"
as_user "$till" queue >"$work/queue.out" 2>"$work/queue.err" || { cat "$work/queue.err"; fail "the user's till queue"; }
grep -q "\"orderId\":\"$rrn\"" "$work/queue.out" || { cat "$work/queue.out"; fail "the queue does not hold the cancellation"; }
# What a fleet's monitoring sees of this till: the set-up checked as a sale uses it, and the
# queued cancellation.
as_user "$till" check >"$work/user-check.out" 2>&1 || { cat "$work/user-check.out"; fail "the user's till check"; }
grep -q "^ok      queue: $queue: 1 messages waiting" "$work/user-check.out" ||
    { cat "$work/user-check.out"; fail "the user's till check does not look at $queue"; }
status=0
as_user "$till" --queue "$(dirname "$config")/queue.sqlite" check >"$work/unwritable-check.out" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q "^fail    queue: .*the till's user cannot write" "$work/unwritable-check.out" ||
    { cat "$work/unwritable-check.out"; fail "till check passes a queue directory the till user cannot write"; }
as_user "$till" metrics --textfile "$user_dir/velmor.prom" || fail "the user's till metrics"
grep -qx 'velmor_queue_messages 1' "$user_dir/velmor.prom" ||
    { cat "$user_dir/velmor.prom"; fail "till metrics does not count the queued cancellation"; }
promtool check metrics <"$user_dir/velmor.prom" >"$work/promtool-metrics.out" 2>&1 ||
    { cat "$work/promtool-metrics.out"; fail "promtool check metrics finds fault with till metrics"; }

step "the shipped alert rules pass promtool, and fire as they should"
rules=$(dpkg -L velmor-till | grep '^/usr/share/velmor/prometheus/.*\.yml$') ||
    fail "velmor-till ships no alert rules under /usr/share/velmor/prometheus/"
promtool check rules "$rules" >"$work/promtool-rules.out" 2>&1 ||
    { cat "$work/promtool-rules.out"; fail "promtool check rules $rules"; }
grep -q 'severity:' "$rules" || fail "$rules gives no alert a severity"
# The rules' own tests, run on the installed file.
mkdir -p "$work/rules"
ln -s "$rules" "$work/rules/velmor.rules.yml"
cp packaging/prometheus/velmor.rules.test.yml "$work/rules/"
promtool test rules "$work/rules/velmor.rules.test.yml" >"$work/promtool-test.out" 2>&1 ||
    { cat "$work/promtool-test.out"; fail "promtool test rules: the shipped alerts do not fire as they should"; }

step "the shipped metrics service writes what node_exporter serves"
service=$(dpkg -L velmor-till | grep '/systemd/system/velmor-metrics\.service$') ||
    fail "velmor-till ships no velmor-metrics.service"
timer=$(dpkg -L velmor-till | grep '/systemd/system/velmor-metrics\.timer$') ||
    fail "velmor-till ships no velmor-metrics.timer"
SYSTEMD_LOG_LEVEL=warning systemd-analyze verify "$service" "$timer" >"$work/verify.out" 2>&1 ||
    { cat "$work/verify.out"; fail "systemd-analyze verify finds fault with the metrics units"; }
grep -qx 'OnUnitActiveSec=5min' "$timer" || fail "$timer does not run every 5 minutes"
grep -qx "SupplementaryGroups=$GROUP" "$service" || fail "$service does not run in group $GROUP"
grep -qx 'DynamicUser=yes' "$service" || fail "$service runs its checks as root"
# No systemd runs here: its two commands as the service runs them, %t its runtime directory, the
# first as a user in group velmor (the dynamic user's rights), the second as root.
mkdir -p "$work/run/velmor-metrics"
chown "$CHECK_USER" "$work/run/velmor-metrics"
exec_start=$(sed -n 's/^ExecStart=//p' "$service" | sed "s|%t|$work/run|g")
exec_post=$(sed -n 's/^ExecStartPost=+//p' "$service" | sed "s|%t|$work/run|g")
[ -n "$exec_start" ] && [ -n "$exec_post" ] || fail "$service has no ExecStart or ExecStartPost=+"
mkdir -p "$TEXTFILE_DIR"
# shellcheck disable=SC2086 # the unit's command line, split as systemd splits this one
as_user $exec_start || fail "the metrics service's ExecStart as a till user"
eval "$exec_post" || fail "the metrics service's ExecStartPost"
[ "$(owner_mode "$TEXTFILE_DIR/velmor.prom")" = "root:root 644" ] ||
    fail "$TEXTFILE_DIR/velmor.prom is $(owner_mode "$TEXTFILE_DIR/velmor.prom")"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
prometheus-node-exporter --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$TEXTFILE_DIR" >"$work/node-exporter.out" 2>&1 &
exporter_pid=$!
scraped=""
for _ in $(seq 50); do
    scraped=$(python3 -c "import urllib.request; print(urllib.request.urlopen('http://127.0.0.1:$port/metrics').read().decode())" 2>/dev/null) && break
    sleep 0.1
done
kill "$exporter_pid"
wait "$exporter_pid" 2>/dev/null || true
exporter_pid=""
grep -qx 'velmor_queue_messages 1' <<<"$scraped" ||
    { cat "$work/node-exporter.out"; fail "node_exporter does not serve velmor_queue_messages from $TEXTFILE_DIR"; }
grep -qx 'node_textfile_scrape_error 0' <<<"$scraped" || fail "node_exporter reports a textfile scrape error"
grep -q '^node_textfile_mtime_seconds{file=".*velmor.prom"}' <<<"$scraped" ||
    fail "node_exporter gives no node_textfile_mtime_seconds for velmor.prom, which the stale alert needs"

step "an unattended upgrade to revision 2, with a changed template, asks nothing and keeps an edited velmor.ini"
echo "; edited on this till" >>"$config"
edited=$(sha256sum "$config")
old_template=$(sha256sum <"$template")
apt_install "$work/upgrade.log" "$work"/2/*.deb || { cat "$work/upgrade.log"; fail "apt-get install revision 2"; }
! grep -qi 'conffile' "$work/upgrade.log" || { cat "$work/upgrade.log"; fail "the upgrade spoke of a conffile"; }
[ "$(sha256sum <"$template")" != "$old_template" ] || fail "revision 2's template is revision 1's: the upgrade proves nothing"
grep -q -- '-2;' "$template" || fail "$template is not revision 2's"
for package in "${PACKAGES[@]}"; do
    version=$(dpkg-query -W -f='${Version}' "$package")
    [ "${version##*-}" = 2 ] || fail "$package is at $version after the upgrade"
    [ "$(dpkg-query -W -f='${Status}' "$package")" = "install ok installed" ] ||
        fail "$package is $(dpkg-query -W -f='${Status}' "$package") after the upgrade"
done
[ "$(sha256sum "$config")" = "$edited" ] || fail "the upgrade replaced the edited $config"
[ "$(owner_mode "$config")" = "root:$GROUP 640" ] || fail "$config is $(owner_mode "$config") after the upgrade"
[ "$(owner_mode "$STATE_DIR")" = "root:$GROUP 2775" ] || fail "$STATE_DIR is $(owner_mode "$STATE_DIR") after the upgrade"
[ -f "$queue" ] || fail "the upgrade lost $queue"

step "a configuration the till user cannot read stops a sale at once"
chmod 0600 "$config"
status=0
(cd "$user_dir" && $SUDO runuser -u "$CHECK_USER" -- env HOME="$user_dir" timeout 10 "$till" --receipt receipt.json \
    sale --amount 100000 --code VELMOR-APPROVE) >"$work/unusable.out" 2>"$work/unusable.err" || status=$?
chmod 0640 "$config"
[ "$status" -ne 124 ] || fail "the sale with an unreadable configuration did not end within 10 s"
[ "$status" -eq 1 ] || { cat "$work/unusable.out" "$work/unusable.err"; fail "the sale with an unreadable configuration ended with $status, not 1"; }
grep -q '"messageKey": "velmorConfigUnusable"' "$work/unusable.out" ||
    { cat "$work/unusable.out"; fail "the sale with an unreadable configuration did not answer velmorConfigUnusable"; }
chmod 0600 "$config"
status=0
as_user "$till" check >"$work/unusable-check.out" 2>&1 || status=$?
chmod 0640 "$config"
[ "$status" -eq 1 ] && grep -q '^fail    configuration file: .* -> add the till.s user to group velmor' "$work/unusable-check.out" ||
    { cat "$work/unusable-check.out"; fail "till check does not say how to mend an unreadable installed configuration"; }
kill "$sandbox_pid"
wait "$sandbox_pid" 2>/dev/null || true
sandbox_pid=""

step "purging everything leaves nothing behind"
files=$(dpkg -L "${PACKAGES[@]}" | sort -u)
$SUDO dpkg --purge "${PACKAGES[@]}" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge"; }
left=$(left_after_purge "$files")
[ -z "$left" ] || fail "left after the purge:$left"
getent group "$GROUP" >/dev/null || fail "the purge removed the system group $GROUP"
$SUDO userdel "$CHECK_USER" || fail "userdel $CHECK_USER"
made_user=0
! getent passwd "$CHECK_USER" >/dev/null || fail "the user $CHECK_USER is still there"

step "velmor-host and velmor-plugin install alone"
apt_install "$work/alone.log" "$work"/2/velmor-host_*.deb "$work"/2/velmor-plugin_*.deb ||
    { cat "$work/alone.log"; fail "apt-get install velmor-host velmor-plugin"; }
for package in velmor-sandbox velmor-till; do
    ! is_installed "$package" || fail "installing the plug-in brought $package in"
done
missing=$(ldd "$plugin" | grep 'not found' || true)
[ -z "$missing" ] || fail "$plugin does not find: $missing"
[ "$(owner_mode "$config")" = "root:$GROUP 640" ] || fail "$config is $(owner_mode "$config"), not root:$GROUP 640"
[ "$(owner_mode "$STATE_DIR")" = "root:$GROUP 2775" ] || fail "$STATE_DIR is $(owner_mode "$STATE_DIR")"
files=$(dpkg -L velmor-host velmor-plugin | sort -u)
$SUDO dpkg --purge velmor-plugin velmor-host >"$work/purge-alone.log" 2>&1 ||
    { cat "$work/purge-alone.log"; fail "dpkg --purge velmor-plugin velmor-host"; }
left=$(left_after_purge "$files")
[ -z "$left" ] || fail "left after purging velmor-host and velmor-plugin:$left"

echo "check-package: OK"
