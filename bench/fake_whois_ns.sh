# Sourced by the whole-process WHOIS benchmarks: once inside their own network and mount
# namespace, a loopback fake server for whois.a.test (127.0.0.2:43, a 2 KB answer) and an
# empty home folder in $dir/home; the caller's trap ends the server and removes $dir.
dir=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$dir"' EXIT
ip link set lo up
printf '127.0.0.1 localhost\n127.0.0.2 whois.a.test\n' > "$dir/hosts"
mount --bind "$dir/hosts" /etc/hosts
mkdir "$dir/home" && : > "$dir/home/Server.wis"
python3 - "$dir/ready" <<'PY' & server=$!
import socket, sys
body = "% fake registry\r\n\r\nDomain Name: EXAMPLE.TEST\r\nRegistrant: Someone\r\n"
while len(body) < 2048:
    body += "%% filler line %d of the fake answer\r\n" % len(body)
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.2", 43)); s.listen(64); open(sys.argv[1], "w").close()
while True:
    c, _ = s.accept(); c.recv(4096); c.sendall(body.encode()); c.close()
PY
while [ ! -e "$dir/ready" ]; do sleep 0.05; done
