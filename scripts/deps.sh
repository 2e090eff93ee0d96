# Installs the Debian packages the build and the tests need, when missing.
# Sourced by scripts/test, scripts/run and scripts/bench.
rvz_install_deps() {
  local pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
              libsqlite3-dev libexpat1-dev libgtest-dev libgmock-dev libbenchmark-dev
              libxml2-utils sqlite3 libgrpc++-dev protobuf-compiler-grpc protobuf-compiler libprotobuf-dev nlohmann-json3-dev
              libpq-dev postgresql libcli11-dev libsystemd-dev libmicrohttpd-dev)
  local missing=()
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}
