#pragma once

#include <cstdint>
#include <string>

// A private network for test and benchmark programs: user, network and mount namespaces of
// their own, loopback up (so all of 127.0.0.0/8 answers), and a private hosts file with
// "hosts: files" name lookup, so fake servers can use the real ports 43 and 25 and an
// unknown name really fails. Nothing a test does here can reach another machine.
namespace testsupport {

// Must run first thing in main, before anything starts a thread: the kernel refuses a new
// user namespace to a process with threads, and moves only the calling thread into a new
// network namespace. Returns whether the sandbox is in place; `reason` says why not.
bool EnterNetSandbox(std::string* reason = nullptr);

// What the last EnterNetSandbox achieved, for tests that skip without it.
bool NetSandboxAvailable();
const std::string& NetSandboxReason();

// Addresses and names of the private hosts file.
namespace sandbox {
// whois.a.test; its address also resolves back to that name (with alias whois-a.test).
inline constexpr const char* kWhoisA = "whois.a.test";
inline constexpr const char* kWhoisAAddr = "127.0.0.2";
inline constexpr const char* kWhoisB = "whois.b.test";
inline constexpr const char* kWhoisBAddr = "127.0.0.3";
inline constexpr const char* kSmtpA = "smtp.a.test";
inline constexpr const char* kSmtpAAddr = "127.0.0.4";
// A name with two aliases and two addresses (two lines of the hosts file).
inline constexpr const char* kMulti = "multi.a.test";
inline constexpr const char* kMultiAlias1 = "alias1.a.test";
inline constexpr const char* kMultiAlias2 = "alias2.a.test";
inline constexpr const char* kMultiAddr1 = "127.0.0.5";
inline constexpr const char* kMultiAddr2 = "127.0.0.6";
// An address without a name in the hosts file (a reverse lookup fails).
inline constexpr const char* kNamelessAddr = "127.0.0.9";
// A listener whose accept queue is full: connect never completes (see BlackHole).
inline constexpr const char* kBlackHole = "blackhole.a.test";
inline constexpr const char* kBlackHoleAddr = "127.0.0.10";
// Nothing listens here: connect is refused.
inline constexpr const char* kRefused = "refused.a.test";
inline constexpr const char* kRefusedAddr = "127.0.0.11";
// Spare names for tests that need more servers (a referral chain, a candidate sweep).
inline constexpr const char* kWhoisC = "whois.c.test";
inline constexpr const char* kWhoisCAddr = "127.0.0.12";
inline constexpr const char* kWhoisD = "whois.d.test";
inline constexpr const char* kWhoisDAddr = "127.0.0.13";
// A WHOIS server's name on loopback's IPv6 line only (glibc also answers 127.0.0.1 for it,
// mapping ::1, so the IPv4 address is tried first and refused).
inline constexpr const char* kWhois6 = "whois6.a.test";
inline constexpr const char* kWhois6Addr = "::1";
// A name with only an IPv6 line, which also resolves back to it; and a name with an IPv4 and
// an IPv6 line. Their addresses exist only in the hosts file.
inline constexpr const char* kV6Only = "v6only.a.test";
inline constexpr const char* kV6OnlyAddr = "2001:db8::43";
inline constexpr const char* kDual = "dual.a.test";
inline constexpr const char* kDualAddr4 = "127.0.0.14";
inline constexpr const char* kDualAddr6 = "2001:db8::44";
// A name whose only address is link-local: the hosts file gives it no zone.
inline constexpr const char* kLinkLocal = "ll.a.test";
inline constexpr const char* kLinkLocalAddr = "fe80::9";
// A name that the hosts file does not know.
inline constexpr const char* kUnknown = "nowhere.invalid";
} // namespace sandbox

// The dotted text as a 32-bit address in network byte order.
uint32_t Ipv4(const char* dotted);

} // namespace testsupport
