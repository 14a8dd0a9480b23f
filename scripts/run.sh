#!/usr/bin/env bash
# The run command: installs what is missing, builds TAVRO in Release into build/release,
# installs its desktop entry (so that "tavro://" links open the app) with its icon, and starts it.
#
# Without TAVRO_SERVICE_URL the app talks to the local fake service (tests/fakeservice), which
# this script starts on 127.0.0.1 and stops again when the app ends. Set TAVRO_SERVICE_URL to
# use the real service. Arguments are handed to the app.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build/release

bash scripts/install-deps.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRO_BUILD_TESTS=ON -DTAVRO_BUILD_BENCH=OFF >/dev/null
targets=(tavro)
[ -z "${TAVRO_SERVICE_URL:-}" ] && targets+=(tavro-fakeservice)
cmake --build "$build" --target "${targets[@]}"
app="$root/$build/bin/tavro"

# The desktop entry, with the program's absolute path quoted for the Exec key: inside quotes
# \ " ` $ take a backslash, the file format doubles every backslash, and % is written %%.
exec_path=$app
exec_path=${exec_path//\\/\\\\}
exec_path=${exec_path//\"/\\\"}
exec_path=${exec_path//\`/\\\`}
exec_path=${exec_path//\$/\\\$}
exec_path=${exec_path//\\/\\\\}
exec_path=${exec_path//%/%%}
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
while IFS= read -r line; do
    if [[ $line == Exec=* ]]; then
        printf 'Exec="%s" -- %%u\n' "$exec_path"
    else
        printf '%s\n' "$line"
    fi
done <data/tavro.desktop >"$apps/tavro.desktop"
# The icon the entry names, in the user's hicolor theme.
icons="${XDG_DATA_HOME:-$HOME/.local/share}/icons/hicolor"
mkdir -p "$icons/scalable/apps"
cp data/tavro.svg "$icons/scalable/apps/tavro.svg"
touch "$icons"  # icon caches notice a changed theme folder by its time
update-desktop-database "$apps" 2>/dev/null || true
xdg-mime default tavro.desktop x-scheme-handler/tavro 2>/dev/null ||
    echo "run: could not make TAVRO the handler of tavro:// links (xdg-mime failed)" >&2

fake_pid=""
cleanup() {
    if [ -n "$fake_pid" ]; then
        kill "$fake_pid" 2>/dev/null || true
        wait "$fake_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ -z "${TAVRO_SERVICE_URL:-}" ]; then
    out=$(mktemp)
    "$build/tests/fakeservice/tavro-fakeservice" >"$out" 2>&1 &
    fake_pid=$!
    for _ in $(seq 100); do
        url=$(sed -n 's/^TAVRO_SERVICE_URL=//p' "$out")
        [ -n "$url" ] && break
        kill -0 "$fake_pid" 2>/dev/null || break
        sleep 0.05
    done
    rm -f "$out"
    if [ -z "${url:-}" ]; then
        echo "run: the fake service did not start" >&2
        exit 1
    fi
    export TAVRO_SERVICE_URL=$url
    echo "TAVRO_SERVICE_URL is not set: the app uses the local fake service at $url (login code 123456)."
fi

"$app" "$@"
