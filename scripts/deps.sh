# Installs the Debian packages a script needs, when missing.
# Sourced by scripts/run, scripts/test and scripts/bench:
#   rvz_install_deps run     what building and running the server needs
#   rvz_install_deps test    that, and the compilers, test libraries and tools of the tests
#                            (Chromium, its driver, Selenium and a CJK font for the console's browser test)
#   rvz_install_deps bench   that, and the benchmark library and PostgreSQL for the peers
rvz_install_deps() {
  local what=${1:-test}
  local pkgs=(cmake ninja-build g++ pkg-config
              libsqlite3-dev libexpat1-dev libgrpc++-dev protobuf-compiler-grpc protobuf-compiler libprotobuf-dev
              nlohmann-json3-dev libpq-dev libcli11-dev libsystemd-dev libmicrohttpd-dev)
  case "$what" in
    run) ;;
    test) pkgs+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libxml2-utils sqlite3 postgresql
                 dpkg-dev systemd python3-grpcio python3-protobuf chromium chromium-driver python3-selenium
                 fonts-wqy-microhei openssl) ;;
    bench) pkgs+=(libgtest-dev libgmock-dev libbenchmark-dev sqlite3 postgresql) ;;
    *) echo "rvz_install_deps: run, test or bench, not $what" >&2; return 2 ;;
  esac
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
