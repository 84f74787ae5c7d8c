# shellcheck shell=bash
# The configuration of a private session bus that starts only the services in one folder, so that nothing
# the machine has installed (another desktop's portal backend) can be started on it. Source it, then:
#   bus_config FILE LISTEN SERVICE_FOLDER [keep_umask]
# LISTEN is a D-Bus address ("unix:tmpdir=/tmp", "unix:path=..."); keep_umask keeps the caller's umask for
# the services the bus starts. scripts/lib.sh sources it.
bus_config() {
  local keep=""
  [ "${4:-}" = keep_umask ] && keep="
  <keep_umask/>"
  cat >"$1" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>$keep
  <listen>$2</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$3</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
}
