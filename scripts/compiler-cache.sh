# Sourced by scripts/sanitize.sh and scripts/fuzz.sh: sets `launcher` to the CMake arguments that
# build through ccache when the machine has it (also serving other clones of the tree, such as
# CI's fresh one), or to nothing.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
