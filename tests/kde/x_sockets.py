#!/usr/bin/python3
"""Runs a command with listening X11 sockets for the first free display in FIRST..LAST, as a desktop's
session starter prepares them for a compositor's XWayland: the lock file /tmp/.XN-lock, the socket
/tmp/.X11-unix/XN and the abstract one of the same name. The command's arguments may hold {display} (":N")
and {fds} (the descriptors, one --xwayland-fd each). The lock and the socket file go when the command ends.
Usage: x_sockets.py FIRST LAST COMMAND...
"""
import os
import signal
import socket
import subprocess
import sys


def claim(n):
    lock = f"/tmp/.X{n}-lock"
    path = f"/tmp/.X11-unix/X{n}"
    if os.path.exists(lock) or os.path.exists(path):
        return None
    try:
        fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
    except FileExistsError:
        return None
    os.write(fd, f"{os.getpid():10d}\n".encode())
    os.close(fd)
    sockets = []
    try:
        os.makedirs("/tmp/.X11-unix", mode=0o1777, exist_ok=True)
        for address in (path, "\0" + path):
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.bind(address)
            s.listen(128)
            sockets.append(s)
    except OSError:
        for s in sockets:
            s.close()
        if os.path.exists(path) and sockets:
            os.unlink(path)
        os.unlink(lock)
        return None
    return lock, path, sockets


def main():
    first, last = int(sys.argv[1]), int(sys.argv[2])
    for n in range(first, last + 1):
        claimed = claim(n)
        if claimed:
            break
    else:
        print(f"x_sockets.py: no free X display in {first}..{last}", file=sys.stderr)
        return 1
    lock, path, sockets = claimed
    fds = [s.fileno() for s in sockets]
    for fd in fds:
        os.set_inheritable(fd, True)
    args = []
    for a in sys.argv[3:]:
        if a == "{fds}":
            for fd in fds:
                args += ["--xwayland-fd", str(fd)]
        else:
            args.append(a.replace("{display}", f":{n}"))
    try:
        child = subprocess.Popen(args, pass_fds=fds)
        # Asked to stop, the command is asked too; the files go once it has ended.
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(sig, lambda *_: child.terminate())
        # The caller learns the display from this line; the command's own output follows.
        print(f"display :{n}", flush=True)
        return child.wait()
    finally:
        os.unlink(path)
        os.unlink(lock)


if __name__ == "__main__":
    sys.exit(main())
