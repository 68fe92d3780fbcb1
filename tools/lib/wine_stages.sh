# The stages that run the 64-bit Windows build's tests under wine, shared by
# tools/test and tools/soak-tests. Each runs every test once: a test that
# fails only sometimes is a fault to find, so nothing is repeated.
#
#   zelvaro_wine_stage NAME BUILD_DIR [ctest args...]
#
# Stages, in order:
#   "test win64 (wine)"    everything else, side by side
#   "test win64 windows"   tests that read which window has the keyboard or is
#                          active (label "desktop"), one at a time with nothing
#                          else running: every window shares one desktop, and
#                          another test's window can take the activation
#   "test win64 sound"     tests that record what is played (label "audio"), one
#                          at a time once the rest are done: a busy second core
#                          is what makes a recording drop out

ZELVARO_WINE_STAGES=("test win64 (wine)" "test win64 windows" "test win64 sound")

zelvaro_wine_stage() {
  local name=$1 dir=$2; shift 2
  local select
  case $name in
    "test win64 (wine)")  select=(-j "$ZELVARO_JOBS" -LE 'audio|desktop') ;;
    "test win64 windows") select=(-L desktop -LE audio) ;;
    "test win64 sound")   select=(-L audio) ;;
    *) echo "no stage named $name" >&2; return 2 ;;
  esac
  ctest --test-dir "$dir" --output-on-failure --timeout 900 "${select[@]}" "$@"
}
