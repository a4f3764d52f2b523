# The arguments both end-to-end scripts take, read into PROGRAM, PICTURES and WORK, and the one only
# run-gray-e2e.sh takes, into FAILING_CALLS. An unknown or a missing one ends the script with its usage line and
# status 2. Sourced; then: read_arguments "<usage line>" "$@"
read_arguments() {
  local usage=$1
  shift
  PROGRAM=
  PICTURES=
  WORK=
  FAILING_CALLS=
  while [ $# -gt 0 ]; do
    case $1 in
      --program) PROGRAM=$2; shift 2 ;;
      --pictures) PICTURES=$2; shift 2 ;;
      --work) WORK=$2; shift 2 ;;
      --failing-calls) FAILING_CALLS=$2; shift 2 ;;
      *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
  done
  if [ -z "$PROGRAM" ] || [ -z "$PICTURES" ] || [ -z "$WORK" ]; then
    echo "usage: $usage" >&2
    exit 2
  fi
}
