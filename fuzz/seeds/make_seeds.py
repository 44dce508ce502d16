#!/usr/bin/env python3
"""Writes the seed corpora of fuzz/corpus/ (valid, edge and malformed inputs per target).

The WHOIS answers under fuzz/seeds/whois/ are real answers; they seed the answer logic.
Run again after changing it: python3 fuzz/seeds/make_seeds.py
"""
import hashlib
import os

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(os.path.dirname(HERE), "corpus")
WHOIS = os.path.join(HERE, "whois")


def answers():
    out = []
    for name in sorted(os.listdir(WHOIS)):
        if name.endswith(".txt"):
            with open(os.path.join(WHOIS, name), "rb") as f:
                out.append((name[:-4], f.read()))
    return out


def put(target, name, data):
    d = os.path.join(CORPUS, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


SJIS = "日本語ドメイン名".encode("cp932")
EUC = "日本語ドメイン名".encode("euc_jp")
JIS = "日本語ドメイン名".encode("iso2022_jp")
UTF8 = "日本語ドメイン名".encode()
HITKEYS = ["Domain Information:", "[Domain Name]", "[ドメイン名]", "inetnum:", "Registrant"]

# whois_text: option byte (mode, switches), header (query, server, hit keys), 0x1E, answer.
for i, (name, body) in enumerate(answers()):
    header = "\n".join(["example.jp", "whois.a.test"] + HITKEYS).encode()
    put("whois_text", name, bytes([i % 6 | 0x08]) + header + b"\x1e" + body)
    put("whois_text", name + "-sweep", bytes([0 | 0x18]) + b"a.b.example.jp\nwhois.b.test\x1e" + body)
# The Japanese answers also as the other encodings servers send.
for i, (name, body) in enumerate(answers()):
    if name.endswith("-ja"):
        text = body.decode()
        for mode, codec in ((1, "iso2022_jp"), (2, "cp932"), (3, "euc_jp"), (0, "euc_jp")):
            try:
                data = text.encode(codec)
            except UnicodeEncodeError:
                continue
            put("whois_text", "%s-%s-%d" % (name, codec, mode),
                bytes([mode | 0x08]) + b"x.jp\nwhois.a.test\n[Domain Name]\x1e" + data)
edge = {
    "empty": b"\x00",
    "crlf-mix": b"\x00\x1e" + b"a\rb\nc\r\nd\n\re\r\r\n\n",
    "sjis-lead-cr": b"\x02\x1e" + b"\x81\r\x81\n\x81\x81\r\n" + SJIS,
    "euc": b"\x03\x1e[Domain Name]  " + EUC + b"\r\n",
    "jis": b"\x01\x1ea. [Domain Name]  " + JIS + b"\r\n",
    "jis-cut-escape": b"\x00\x1e" + JIS[:5] + b"\x1b$",
    "utf8-bad": b"\x04\x1e\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80" + UTF8[:4],
    "nul-mid": b"\x00\x1eWhois Server: whois.b.test\x00\r\nrefer: x\r\n",
    "referral-self": b"\x08\x1e" + b"q\nwhois.a.test\x1e" + b"Whois Server: whois.a.test\r\n",
    "referral-blank": b"\x08\x1eq\nw\x1e\r\n\r\nrefer:   \r\nReferralServer: whois://whois.c.test:43\r\n",
    "modern": b"\x08\x1eq\nw\x1eRegistrar WHOIS Server: \twhois.c.test \r\n\r\nbody\r\n",
    "bad-mode": b"\x05\x1e" + SJIS + EUC,
    "labels": b"\x00a..b. c\t.d.\nw\x1eNo match\r\n",
    "fixed-hit": b"\x00\x1e\r\n\r\n" + "p. [ネームサーバ]".encode() + b"\r\n",
    "limit-notice": b"\x18\x1e%% Too many requests...\r\n%%\r\n\r\n%% No entries found.\r\n",
    "limit-look-alike": b"\x08\x1eq\nw\x1e% Query rate limit exceeded. Reduced information.\r\n\r\n"
    b"Domain Name: Q\r\n",
}
for k, v in edge.items():
    put("whois_text", k, v)

# kanjconv: choice byte (bit 0: build valid texts), then text.
for i, (name, body) in enumerate(answers()):
    put("kanjconv", name, bytes([i & 1]) + body[:4096])
for k, v in {
    "sjis": SJIS, "euc": EUC, "jis": JIS, "utf8": UTF8,
    "escapes": b"\x1b$B\x1b$@\x1b(J\x1b(B\x1b(I\x1b$(D\x1b",
    "jis-esc-in-pair": b"\x1b$B0\x1b0\x1b$B" * 3,
    "euc-ss2": b"\x8e\xb1\x8e\xdf\x8e\x8e\x8e",
    "euc-ss3": b"\x8f\xa1\xa1\x8f",
    "cut-pairs": EUC[:-1] + b"\x00" + EUC,
    "high-run": bytes(range(0x80, 0x100)) * 2,
    "built": b"\x01" + bytes(range(0, 256)),
}.items():
    put("kanjconv", k, b"\x00" + v)
    put("kanjconv", k + "-built", b"\x01" + v)

# text_file: raw file bytes.
for k, v in {
    "utf8-bom": b"\xef\xbb\xbf" + UTF8 + b"\r\n",
    "cp932": SJIS + b"\r\n" + "①ⅰ髙".encode("cp932") + b"\n",
    "cp932-cut": SJIS + b"\x81",
    "mixed-breaks": b"a\rb\nc\r\n\r\n\n\r",
    "nul": b"a\x00b\r\nc",
    "overlong": b"\xc0\x80\xe0\x80\x80\xf0\x80\x80\x80",
    "surrogate": b"\xed\xa0\x80\xed\xbf\xbf",
    "max": b"\xf4\x8f\xbf\xbf\xf4\x90\x80\x80",
    "bom-twice": b"\xef\xbb\xbf\xef\xbb\xbfx",
    "servhit": open(os.path.join(os.path.dirname(CORPUS), "..", "data", "Servhit.key"), "rb").read(),
    "empty": b"",
}.items():
    put("text_file", k, v)

# server_dir: header (server, target), 0x1E, file.
wis = open(os.path.join(os.path.dirname(CORPUS), "..", "data", "Server.wis"), "rb").read()
put("server_dir", "shipped", b"whois.jprs.jp\nexample.co.jp\x1e" + wis)
put("server_dir", "shipped-ip", b"whois.nic.ad.jp\n192.0.2.1\x1e" + wis)
for k, v in {
    "quotes": b'"a,b" , + ,"jp""x",\r\n"unterminated, *\r\n',
    "blanks": b"\t a.example \t, \x01jp\x01,,,\r\n,,\r\n \r\n",
    "case": b"A.Example,*\r\na.example,jp\r\nB,+\r\n",
    "cp932": "whois.例え.jp,-,jp".encode("cp932") + b"\r\n",
    "nul": b"a.test,jp\x00,com\r\nb.test,*\r\n",
}.items():
    put("server_dir", k, b"a.example\nwww.example.co.jp\x1e" + v)

# settings: file bytes.
ini = (b"LASTHOST=example.jp\r\nLASTWHOIS=whois.jprs.jp\r\nLASTUSER=user@example.jp\r\n"
       b"WHOISSWEEP=1\r\nRESOLVEIP=0\r\nCODEINDES=4\r\nINTERVAL=1000\r\nTIMEOUT=500\r\n"
       b"PINGCOUNT=5\r\nAUTOCHANGE=1\r\nTRACE-WHOIS=0\r\nPANELALIGN=1\r\nPINGDNS=1\r\n"
       b"SMTPEXPN=0\r\nSHOWCLOCK=1\r\nSHOWPANEL=1\r\nWINDOWINFO=0,10,20,810,620\r\n"
       + "MEMOFONT=\"ＭＳ Ｐゴシック\",128,$80000008,1,9,0\r\n".encode())
put("settings", "full", ini)
put("settings", "cp932", ini.decode().encode("cp932"))
for k, v in {
    "hex": b"INTERVAL=$7FFFFFFF\r\nTIMEOUT=-$10\r\nPINGCOUNT= +12\r\nCODEINDES=$\r\n",
    "bad-numbers": b"INTERVAL=1e3\r\nTIMEOUT=99999999999\r\nWINDOWINFO=a,b,c,d,e\r\nMEMOFONT=x,1,2,3,4,z\r\n",
    "lists": b'WINDOWINFO=2,"1",2,3\r\nMEMOFONT="a,b",0,$FF,15,-12,2\r\nMEMOFONT=second,1,1,1,1,1\r\n',
    "names": b"=empty name\r\nlasthost=lower\r\nLASTHOST\r\nLASTHOST==x\r\n\x00LASTUSER=nul\r\n",
    "breaks": b"LASTHOST=a\rLASTWHOIS=b\nLASTUSER=c",
    "empty": b"",
}.items():
    put("settings", k, v)

# comma_text: text; 0x1F cuts it into items to join.
for k, v in {
    "font": "\"ＭＳ Ｐゴシック\",128,$80000008,1,9,0".encode(),
    "quotes": b'"a""b", "c,d" ,"",,x,',
    "blanks": b"\x01 a \t,\x1f b\x1f\x1f\"\"\x1f,",
    "unterminated": b'"abc,def',
    "ints": b" -2147483648",
    "hex": b"$80000008",
    "hex-long": b"$123456789",
    "sign-only": b"-",
    "empty": b"",
}.items():
    put("comma_text", k, v)

# history: option byte, then the list file; 0x1F parts text, start and stop markers.
for k, v in {
    "list": b"\x00example.jp\r\n  example.jp \r\nEXAMPLE.JP\r\n\r\nwhois.jprs.jp\r\n",
    "url": b"\x00a\r\nhttp://www.example.jp/path\r\n",
    "user": b"\x02x\r\nuser@ host.example\r\n",
    "remove": b"\x01a\r\nb\r\na\r\n",
    "markers": b"\x00text :// host / rest\x1f://\x1f/",
    "cp932": b"\x00" + "ホスト.jp".encode("cp932") + b"\r\n",
    "many": b"\x00" + b"".join(b"h%d.example\r\n" % i for i in range(60)),
}.items():
    put("history", k, v)
