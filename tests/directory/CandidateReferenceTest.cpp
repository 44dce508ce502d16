// The candidate queue against a field-by-field version of the rule built on the plain
// splitter, on random directories whose lines mix servers, markers, suffixes, quotes, blanks
// and letter case.
#include "directory/ServerDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

namespace {

using List = std::vector<std::string>;

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The target, a final dot aside, ends in "." and the suffix.
bool EndsWithLabels(std::string target, const std::string& suffix) {
    if (!target.empty() && target.back() == '.')
        target.pop_back();
    const std::string tail = "." + suffix;
    return target.size() > tail.size() && Lower(target).ends_with(Lower(tail));
}

List Reference(const List& dir, const std::string& server, const std::string& target, bool isIP) {
    List queue;
    for (const std::string& line : dir) {
        const List fields = SplitServerFields(line);
        if (fields.empty() || fields[0] == server)
            continue;
        bool qualifies = false;
        for (size_t i = 0; i < fields.size() && !qualifies; ++i)
            qualifies = fields[i] == (isIP ? "+" : "*");
        for (size_t i = 1; i < fields.size() && !qualifies && !isIP; ++i)
            qualifies = MarkerIndex(fields[i]) == -1 && EndsWithLabels(target, fields[i]);
        if (!qualifies)
            continue;
        bool seen = false;
        for (const std::string& queued : queue)
            seen = seen || Lower(queued) == Lower(fields[0]);
        if (!seen)
            queue.push_back(fields[0]);
    }
    return queue;
}

std::string Pick(std::mt19937& rng, const List& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

TEST(CandidateReference, RandomDirectoriesQueueLikeTheFieldByFieldRule) {
    const List servers{"a.example",     "A.Example", "b.example", "\"c,x\"",
                       "\"a.example\"", "",          "whois.jp"};
    const List fields{"+", "-", "*", "", "jp", "co.jp", "com", "JP", "\"jp\"", "p", "j", "net"};
    const List separators{",", " , ", ",,", " ", "\t,"};
    const List targets{"example.co.jp", "www.example.com", "jp", "host.jpnic.net",
                       "192.0.2.1",     "EXAMPLE.JP",      "",   "a.b.c.j",
                       "x.p",           "whois.jp"};
    std::mt19937 rng(42);
    for (int round = 0; round < 3000; ++round) {
        List dir;
        for (int l = round % 9; l > 0; --l) {
            std::string line = Pick(rng, servers);
            for (int f = int(rng() % 5); f > 0; --f)
                line += Pick(rng, separators) + Pick(rng, fields);
            if (rng() % 4 == 0)
                line += ",";
            dir.push_back(line);
        }
        const std::string server = Pick(rng, servers);
        const std::string target = Pick(rng, targets);
        for (bool isIP : {false, true}) {
            List got{"stale"};
            BuildServerCandidates(dir, server, target, isIP, got);
            ASSERT_EQ(got, Reference(dir, server, target, isIP))
                << "server " << server << " target " << target << " ip " << isIP << "\n"
                << testing::PrintToString(dir);
        }
    }
}

} // namespace
