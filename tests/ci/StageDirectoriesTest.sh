#!/usr/bin/env bash
# The CI run removes each stage's build directory once the stage passes, also one an earlier run
# made and left when its stage failed, and never one someone else made.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/.ci" "$work/scripts"
cp "$source_dir/.ci/run" "$work/.ci/run"
: >"$work/scripts/setup"
# Stands in for the build and the suite: fills the directory, and fails while asked to.
cat >"$work/scripts/test" <<'TEST'
set -eu
mkdir -p "$DUNMOSS_BUILD_DIR"
echo built >"$DUNMOSS_BUILD_DIR/object"
[[ ! -e failing ]]
TEST
cd "$work"
mkdir build-public-layout
echo mine >build-public-layout/object

: >failing
if bash .ci/run >/dev/null 2>&1; then
  echo "a failing stage passed"
  exit 1
fi
[[ -e build/object ]] || { echo "the failed stage's directory is gone"; exit 1; }
rm failing
bash .ci/run >/dev/null
for dir in build build-asan; do
  [[ ! -e $dir ]] || { echo "$dir, made by a run, was kept"; exit 1; }
done
[[ -e build-public-layout/object ]] || { echo "a directory made by someone else was removed"; exit 1; }
echo ok
