// The password health report: per-entry checks, then reuse, near reuse and the master password
// found by hashing and bucketing.
#include "app/PasswordHealth.h"

#include "data/BreachList.h"
#include "platform/AppError.h"
#include "platform/SecretText.h"

#include <QHash>
#include <algorithm>
#include <memory>
#include <utility>

namespace {

// The titles named in a finding; the others are counted.
constexpr int kTitlesShown = 3;
// Near reuse: the shortest password compared by edits, and the fewest letters a password keeps
// when its ends are trimmed.
constexpr qsizetype kEditMinLength = 8;
constexpr qsizetype kNormalMinLength = 4;
// The texts one edit apart are matched pair by pair in buckets up to this size, through the
// hashes of their deletions in larger ones.
constexpr std::size_t kPairwiseBucket = 24;

// Polynomial hashing: each character one multiply-add, a deletion's hash from prefix hashes.
constexpr quint64 kBase = 0x9E3779B97F4A7C15ULL;

// How far ahead of its use a text is fetched where texts are read out of order.
constexpr std::size_t kAhead = 8;

// Spreads every bit of a hash over all of them (MurmurHash3's finalizer).
quint64 mix(quint64 h)
{
    h = (h ^ (h >> 33)) * 0xFF51AFD7ED558CCDULL;
    h = (h ^ (h >> 33)) * 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 33);
}

// True when the texts are one insertion, deletion or substitution apart.
bool oneEdit(QStringView a, QStringView b)
{
    if (a.size() > b.size()) {
        std::swap(a, b);
    }
    if (b.size() - a.size() > 1) {
        return false;
    }
    const char16_t* x = a.utf16();
    const char16_t* y = b.utf16();
    const qsizetype n = a.size();
    qsizetype i = 0;
    while (i < n && x[i] == y[i]) {
        ++i;
    }
    if (a.size() == b.size()) {
        return i < n && std::equal(x + i + 1, x + n, y + i + 1);
    }
    return std::equal(x + i, x + n, y + i + 1);
}

// Sorts items by their top 32 bits (a key; the low 32 bits say whose) in three passes of 11
// bits: sequential work where a hash table would jump about in memory for every key. Texts
// whose keys meet by chance are only compared for nothing.
void sortByKey(std::vector<quint64>& rItems)
{
    constexpr int kDigits = 3;
    constexpr int kBits = 11;
    std::vector<quint64> buffer(rItems.size());
    std::vector<std::size_t> counts(kDigits << kBits);
    for (quint64 item : rItems) {
        for (int d = 0; d < kDigits; ++d) {
            ++counts[(std::size_t(d) << kBits) + ((item >> (32 + d * kBits)) & 0x7FF)];
        }
    }
    for (int d = 0; d < kDigits; ++d) {
        std::size_t total = 0;
        for (std::size_t k = 0; k < (1u << kBits); ++k) {
            total += std::exchange(counts[(std::size_t(d) << kBits) + k], total);
        }
        std::size_t* places = &counts[std::size_t(d) << kBits];
        for (quint64 item : rItems) {
            buffer[places[(item >> (32 + d * kBits)) & 0x7FF]++] = item;
        }
        rItems.swap(buffer);
    }
    SecretText::Zero(buffer.data(), buffer.size() * sizeof(quint64));
}

// Calls visit(first, last) for every run of two or more items of equal keys.
template <typename Visit> void forEachRun(const std::vector<quint64>& items, Visit visit)
{
    for (std::size_t first = 0; first < items.size();) {
        std::size_t last = first + 1;
        const quint64 key = items[first] >> 32;
        while (last < items.size() && (items[last] >> 32) == key) {
            ++last;
        }
        if (last - first > 1) {
            visit(first, last);
        }
        first = last;
    }
}

// The parts a text of a given length is bucketed by, for pairs whose shorter text has the
// length m: the first m/2 characters and the last m - m/2 (one edit leaves one of them
// untouched). A text of length n takes both parts for m = n and for m = n - 1, which are three
// different parts: part j (0, 1, 2) as its size and whether it is the last part.
struct Part
{
    qsizetype size;
    bool last;
    // True when a part of this size and side is the one the pairs whose shorter text has the
    // length m are matched by (pairs meeting through another part are left to that one).
    static bool Answers(qsizetype size, bool last, qsizetype m)
    {
        return size == (last ? m - m / 2 : m / 2);
    }
};

// Part j (0, 1, 2) of a text of the given length.
Part partOf(qsizetype length, int j)
{
    const qsizetype half = length / 2;
    if (length % 2 == 0) {
        return j == 0 ? Part{half, false} : j == 1 ? Part{half - 1, false} : Part{half, true};
    }
    return j == 0 ? Part{half, false} : j == 1 ? Part{half + 1, true} : Part{half, true};
}

// A text of a bucket with the part it is there by.
struct Member
{
    const char16_t* text;
    qsizetype size;
    int index;
    Part part;
};

// True when the two members make a pair that the part they share answers for, and are one edit
// apart.
bool answeredPair(const Member& a, const Member& b)
{
    return a.index != b.index && a.part.size == b.part.size && a.part.last == b.part.last &&
           Part::Answers(a.part.size, a.part.last, std::min(a.size, b.size)) &&
           oneEdit(QStringView(a.text, a.size), QStringView(b.text, b.size));
}

// A bucket's members matched through the hashes of their one-character deletions at the places
// their part leaves open: equal deletions at the same place are one substitution apart, a
// deletion equal to a whole text one insertion. A reusable open-addressing table from each
// deletion's hash to the chain of its nodes; stamped per bucket, so it is never cleared.
class DeletionMatcher
{
public:
    explicit DeletionMatcher(qsizetype lLongest) : m_power(std::size_t(lLongest) + 1, 1)
    {
        for (std::size_t i = 1; i < m_power.size(); ++i) {
            m_power[i] = m_power[i - 1] * kBase;
        }
    }
    ~DeletionMatcher()
    {
        SecretText::Zero(m_prefix.data(), m_prefix.size() * sizeof(quint64));
        SecretText::Zero(m_nodes.data(), m_nodes.size() * sizeof(Node));
        SecretText::Zero(m_whole.data(), m_whole.size() * sizeof(quint64));
        SecretText::Zero(m_slots.data(), m_slots.size() * sizeof(Slot));
    }
    DeletionMatcher(const DeletionMatcher&) = delete;
    DeletionMatcher& operator=(const DeletionMatcher&) = delete;

    // Pairs of members found one edit apart go to rPairs.
    void match(const std::vector<Member>& members, std::vector<quint64>& rPairs)
    {
        // The places each member's part leaves open.
        auto window = [](const Member& member) {
            const auto length = std::size_t(member.size);
            const auto part = std::size_t(member.part.size);
            return member.part.last ? std::make_pair(std::size_t(0), length - part)
                                    : std::make_pair(part, length);
        };
        std::size_t nodes = 0;
        for (const Member& member : members) {
            nodes += window(member).second - window(member).first;
        }
        std::size_t capacity = 16;
        while (capacity < 2 * nodes) {
            capacity *= 2;
        }
        if (m_slots.size() < capacity) {
            m_slots.resize(capacity);
        }
        ++m_stamp;
        m_mask = capacity - 1;
        m_nodes.clear();
        m_whole.clear();
        // Each deletion goes into the table and meets the earlier members' deletions of the
        // same hash there: a pair of one length is seen from its later member.
        for (std::size_t m = 0; m < members.size(); ++m) {
            const Member& self = members[m];
            const auto length = std::size_t(self.size);
            m_prefix.resize(std::max(m_prefix.size(), length + 1));
            m_prefix[0] = 0;
            for (std::size_t i = 0; i < length; ++i) {
                m_prefix[i + 1] = m_prefix[i] * kBase + self.text[i] + 1;
            }
            m_whole.push_back(m_prefix[length]);
            const auto [from, to] = window(self);
            for (std::size_t i = from; i < to; ++i) {
                const quint64 tail = m_prefix[length] - m_prefix[i + 1] * m_power[length - 1 - i];
                const quint64 hash = m_prefix[i] * m_power[length - 1 - i] + tail;
                Slot& slot = find(hash);
                if (slot.stamp != m_stamp) {
                    slot = {hash, -1, m_stamp};
                }
                for (int n = slot.head; n >= 0; n = m_nodes[std::size_t(n)].next) {
                    const Node& other = m_nodes[std::size_t(n)];
                    const Member& partner = members[std::size_t(other.owner)];
                    if (other.place == int(i) && other.owner != int(m) &&
                        partner.size == self.size && answeredPair(self, partner)) {
                        rPairs.push_back(pairOf(self.index, partner.index));
                    }
                }
                m_nodes.push_back(
                    {hash, int(i), int(m), std::exchange(slot.head, int(m_nodes.size()))});
            }
        }
        // Then each whole text against the deletions of longer ones.
        for (std::size_t m = 0; m < members.size(); ++m) {
            const Member& self = members[m];
            const Slot& slot = find(m_whole[m]);
            for (int n = slot.stamp == m_stamp ? slot.head : -1; n >= 0;
                 n = m_nodes[std::size_t(n)].next) {
                const Member& partner = members[std::size_t(m_nodes[std::size_t(n)].owner)];
                if (partner.size == self.size + 1 && answeredPair(self, partner)) {
                    rPairs.push_back(pairOf(self.index, partner.index));
                }
            }
        }
    }

    // A pair as one number, the smaller index in the top half.
    static quint64 pairOf(int a, int b)
    {
        return quint64(std::min(a, b)) << 32 | quint32(std::max(a, b));
    }

private:
    struct Node
    {
        quint64 hash;
        int place;
        int owner;
        int next;
    };
    struct Slot
    {
        quint64 key = 0;
        int head = -1;
        unsigned stamp = 0;
    };
    Slot& find(quint64 key)
    {
        std::size_t i = std::size_t(mix(key)) & m_mask;
        while (m_slots[i].stamp == m_stamp && m_slots[i].key != key) {
            i = (i + 1) & m_mask;
        }
        return m_slots[i];
    }
    std::vector<quint64> m_power;
    std::vector<quint64> m_prefix;
    std::vector<Node> m_nodes;
    std::vector<quint64> m_whole;
    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    unsigned m_stamp = 0;
};

} // namespace

int PasswordHealth::Finding::Severity() const
{
    int severity = 0;
    if (kinds & Breached) {
        severity += 64;
    }
    if (kinds & Master) {
        severity += 48;
    }
    if (kinds & Reused) {
        severity += 32;
    }
    if (kinds & Weak) {
        severity += 8 * (3 - PasswordStrength::BandOf(bits));
    }
    if (kinds & NoPassword) {
        severity += 24;
    }
    if (kinds & NearlyReused) {
        severity += 6;
    }
    if (kinds & (OwnTitle | OwnUser)) {
        severity += 4;
    }
    return severity;
}

QString PasswordHealth::Finding::Text() const
{
    auto titles = [](const QStringList& shown, int lCount) {
        QString text = shown.join(QStringLiteral(", "));
        if (lCount > shown.size()) {
            const int others = lCount - int(shown.size());
            text += others == 1 ? QStringLiteral(" and 1 other")
                                : QStringLiteral(" and %1 others").arg(others);
        }
        return text;
    };
    QStringList parts;
    if (kinds & NoPassword) {
        parts << QStringLiteral("no password");
    }
    if (kinds & Breached) {
        parts << (seen == 1 ? QStringLiteral("in a breach list (seen 1 time)")
                            : QStringLiteral("in a breach list (seen %1 times)").arg(seen));
    }
    if (kinds & Master) {
        parts << QStringLiteral("the master password");
    }
    if (kinds & Reused) {
        parts << QStringLiteral("reused in ") + titles(reusedWith, reusedCount);
    }
    if (kinds & Weak) {
        parts << QStringLiteral("weak (%1, guessed in %2)")
                     .arg(PasswordStrength::BandName(PasswordStrength::BandOf(bits)),
                          PasswordStrength::TimeToGuess(bits));
    }
    if (kinds & NearlyReused) {
        parts << QStringLiteral("nearly reused in ") + titles(nearlyWith, nearlyCount);
    }
    if (kinds & OwnTitle) {
        parts << QStringLiteral("contains its title");
    }
    if (kinds & OwnUser) {
        parts << QStringLiteral("contains its user name");
    }
    return parts.join(QStringLiteral("; "));
}

PasswordHealth::PasswordHealth(QList<Entry> entries, const QString& sMaster,
                               const QString& sBreachPath)
    : m_entries(std::move(entries)), m_master(sMaster.constData(), sMaster.size()),
      m_breachPath(sBreachPath)
{
}

PasswordHealth::~PasswordHealth()
{
    Wipe();
}

void PasswordHealth::Wipe()
{
    for (Entry& entry : m_entries) {
        SecretText::Wipe(entry.PASSWORD_TX);
    }
    SecretText::Wipe(m_master);
}

bool PasswordHealth::Run(const std::atomic<bool>& cancel)
{
    m_done = 0;
    m_breachProblem.clear();
    std::unique_ptr<BreachList> breach;
    if (!m_breachPath.isEmpty()) {
        try {
            breach = std::make_unique<BreachList>(m_breachPath);
        } catch (const AppError& error) {
            m_breachProblem = error.Description();
        }
    }
    m_findings.assign(std::size_t(m_entries.size()), Finding());
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (cancel.load()) {
            break;
        }
        checkOne(std::size_t(i), breach.get());
        if (!m_breachProblem.isEmpty()) {
            breach.reset();
        }
        m_done = int(i + 1);
        if (StepHook) {
            StepHook(int(i + 1));
        }
    }
    if (cancel.load()) {
        Wipe();
        m_findings.clear();
        return false;
    }
    relate();
    return true;
}

void PasswordHealth::checkOne(std::size_t lIndex, BreachList* breach)
{
    const Entry& entry = m_entries[qsizetype(lIndex)];
    const QString& password = entry.PASSWORD_TX;
    Finding& finding = m_findings[lIndex];
    finding = Finding();
    if (password.isEmpty()) {
        finding.kinds = NoPassword;
        return;
    }
    finding.bits = PasswordStrength::Bits(
        password, PasswordStrength::UserWords(entry.TITLE_TX, entry.USER_NM, entry.WEB_SITE_TX));
    if (PasswordStrength::BandOf(finding.bits) <= PasswordStrength::Weak) {
        finding.kinds |= Weak;
    }
    if (!m_master.isEmpty() && password == m_master) {
        finding.kinds |= Master;
    }
    const QString title = entry.TITLE_TX.trimmed();
    if (title.size() >= 4 && password.contains(title, Qt::CaseInsensitive)) {
        finding.kinds |= OwnTitle;
    }
    const QString user = entry.USER_NM.trimmed();
    if (user.size() >= 4 && password.contains(user, Qt::CaseInsensitive)) {
        finding.kinds |= OwnUser;
    }
    if (breach && !password.isEmpty()) {
        try {
            finding.seen = breach->Count(password);
        } catch (const AppError& error) {
            m_breachProblem = error.Description();
        }
        if (finding.seen > 0) {
            finding.kinds |= Breached;
        }
    }
}

std::vector<int> PasswordHealth::ExactGroups(const std::vector<QStringView>& passwords,
                                             int& rlGroups)
{
    QHash<QStringView, int> groups;
    groups.reserve(qsizetype(passwords.size()));
    std::vector<int> group(passwords.size(), -1);
    int count = 0;
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        if (passwords[i].isEmpty()) {
            continue;
        }
        // One look-up: a new key holds 0 until numbered from 1.
        int& number = groups[passwords[i]];
        if (number == 0) {
            number = ++count;
        }
        group[i] = number - 1;
    }
    rlGroups = count;
    return group;
}

std::vector<int> PasswordHealth::NormalGroups(const std::vector<QStringView>& distinct)
{
    auto isLetter = [](char16_t c) {
        return c < 0x80 ? ((c | 0x20) >= u'a' && (c | 0x20) <= u'z') : QChar::isLetter(c);
    };
    auto fold = [](char16_t c) {
        return c < 0x80 ? (c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c)
                        : QChar(c).toCaseFolded().unicode();
    };
    std::vector<QStringView> normal(distinct.size());
    std::vector<quint64> keyed;
    keyed.reserve(distinct.size());
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        const char16_t* s = distinct[i].utf16();
        qsizetype from = 0;
        qsizetype to = distinct[i].size();
        while (from < to && !isLetter(s[from])) {
            ++from;
        }
        while (to > from && !isLetter(s[to - 1])) {
            --to;
        }
        if (to - from < kNormalMinLength) {
            continue;
        }
        normal[i] = QStringView(s + from, to - from);
        quint64 key = 0;
        for (qsizetype k = from; k < to; ++k) {
            key = key * kBase + fold(s[k]);
        }
        keyed.push_back((mix(key) & 0xFFFFFFFF00000000ULL) | i);
    }
    sortByKey(keyed);
    // Texts equal but for case, with a fast way for plain ASCII.
    auto same = [&](QStringView a, QStringView b) {
        if (a.size() == b.size()) {
            qsizetype k = 0;
            while (k < a.size() && a[k].unicode() < 0x80 && b[k].unicode() < 0x80 &&
                   fold(a[k].unicode()) == fold(b[k].unicode())) {
                ++k;
            }
            if (k == a.size()) {
                return true;
            }
            if (a[k].unicode() < 0x80 && b[k].unicode() < 0x80) {
                return false;
            }
        }
        return a.compare(b, Qt::CaseInsensitive) == 0;
    };
    std::vector<int> group(distinct.size(), -1);
    int groups = 0;
    // Texts of one key are one text but where two hashes met: each joins the first of the
    // run's texts equal to it. A text alone under its key stays in no group.
    std::vector<std::size_t> firsts;
    forEachRun(keyed, [&](std::size_t first, std::size_t last) {
        firsts.clear();
        // Fetched all at once, not one by one when compared.
        for (std::size_t i = first; i < last; ++i) {
            __builtin_prefetch(normal[quint32(keyed[i])].utf16());
        }
        for (std::size_t i = first; i < last; ++i) {
            const auto self = std::size_t(quint32(keyed[i]));
            for (std::size_t other : firsts) {
                if (same(normal[other], normal[self])) {
                    group[self] = group[other];
                    break;
                }
            }
            if (group[self] < 0) {
                group[self] = groups++;
                firsts.push_back(self);
            }
        }
    });
    SecretText::Zero(keyed.data(), keyed.size() * sizeof(quint64));
    return group;
}

PasswordHealth::Partners PasswordHealth::OneEditApart(const std::vector<QStringView>& distinct)
{
    // Two texts one edit apart share a part of the shorter's length (see Part): each text is
    // keyed by the hash of each of its parts, with the part's size and side, and the index of
    // the text and part. A text of the shortest length takes no parts for shorter partners.
    std::vector<quint64> keyed;
    keyed.reserve(distinct.size() * 3);
    qsizetype longest = 0;
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        const char16_t* s = distinct[i].utf16();
        const qsizetype length = distinct[i].size();
        if (length < kEditMinLength) {
            continue;
        }
        longest = std::max(longest, length);
        for (int j = 0; j < 3; ++j) {
            if (j == 1 && length == kEditMinLength) {
                continue;
            }
            const Part part = partOf(length, j);
            const char16_t* from = part.last ? s + length - part.size : s;
            quint64 h = quint64(part.size * 2 + int(part.last)) * 0xD6E8FEB86659FD93ULL;
            for (const char16_t* c = from; c < from + part.size; ++c) {
                h = h * kBase + *c;
            }
            keyed.push_back((mix(h) & 0xFFFFFFFF00000000ULL) | (i * 3 + std::size_t(j)));
        }
    }
    sortByKey(keyed);
    // Each pair found, the smaller index in the top half: some are found twice.
    std::vector<quint64> pairs;
    std::vector<Member> members;
    DeletionMatcher deletions(longest);
    forEachRun(keyed, [&](std::size_t first, std::size_t last) {
        members.clear();
        for (std::size_t k = first; k < last; ++k) {
            if (k + kAhead < last) {
                __builtin_prefetch(&distinct[quint32(keyed[k + kAhead]) / 3]);
            }
            const auto item = quint32(keyed[k]);
            const QStringView text = distinct[item / 3];
            // Fetched while the others are gathered, not one by one when matched.
            __builtin_prefetch(text.utf16());
            members.push_back(
                {text.utf16(), text.size(), int(item / 3), partOf(text.size(), int(item % 3))});
        }
        if (members.size() > kPairwiseBucket) {
            deletions.match(members, pairs);
            return;
        }
        for (std::size_t a = 0; a < members.size(); ++a) {
            for (std::size_t b = a + 1; b < members.size(); ++b) {
                // Only in the bucket of the part that answers for the pair's shorter length.
                if (std::abs(members[a].size - members[b].size) <= 1 &&
                    answeredPair(members[a], members[b])) {
                    pairs.push_back(DeletionMatcher::pairOf(members[a].index, members[b].index));
                }
            }
        }
    });
    SecretText::Zero(keyed.data(), keyed.size() * sizeof(quint64));
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    // Sorted by the smaller index, each list receives its smaller partners first, in order,
    // then its larger ones, in order.
    Partners partners;
    partners.offsets.assign(distinct.size() + 1, 0);
    for (quint64 pair : pairs) {
        ++partners.offsets[std::size_t(pair >> 32) + 1];
        ++partners.offsets[std::size_t(quint32(pair)) + 1];
    }
    for (std::size_t i = 1; i < partners.offsets.size(); ++i) {
        partners.offsets[i] += partners.offsets[i - 1];
    }
    partners.list.resize(pairs.size() * 2);
    std::vector<int> fill(partners.offsets.begin(), partners.offsets.end() - 1);
    for (quint64 pair : pairs) {
        const auto lo = std::size_t(pair >> 32);
        const auto hi = std::size_t(quint32(pair));
        partners.list[std::size_t(fill[lo]++)] = int(hi);
        partners.list[std::size_t(fill[hi]++)] = int(lo);
    }
    return partners;
}

std::pair<std::vector<int>, PasswordHealth::Partners>
PasswordHealth::NearMatches(const std::vector<QStringView>& distinct)
{
    std::size_t total = 0;
    for (QStringView text : distinct) {
        total += std::size_t(text.size());
    }
    // Each text fetched a few ahead of its copy, rather than waited for.
    const auto packed = std::make_unique_for_overwrite<char16_t[]>(total);
    std::vector<QStringView> views;
    views.reserve(distinct.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        if (i + kAhead < distinct.size()) {
            __builtin_prefetch(distinct[i + kAhead].utf16());
        }
        std::copy(distinct[i].utf16(), distinct[i].utf16() + distinct[i].size(), &packed[at]);
        views.emplace_back(&packed[at], distinct[i].size());
        at += std::size_t(distinct[i].size());
    }
    auto result = std::make_pair(NormalGroups(views), OneEditApart(views));
    SecretText::Zero(packed.get(), total * sizeof(char16_t));
    return result;
}

void PasswordHealth::relate()
{
    const auto count = std::size_t(m_entries.size());
    std::vector<QStringView> passwords(count);
    for (std::size_t i = 0; i < count; ++i) {
        passwords[i] = m_entries[qsizetype(i)].PASSWORD_TX;
    }
    int groups = 0;
    const std::vector<int> group = ExactGroups(passwords, groups);
    // Each group's entries as a chain, and its password.
    std::vector<int> first(std::size_t(groups), -1);
    std::vector<int> nextInGroup(count, -1);
    std::vector<int> size(std::size_t(groups), 0);
    std::vector<QStringView> distinct(static_cast<std::size_t>(groups));
    for (std::size_t i = count; i-- > 0;) {
        if (group[i] < 0) {
            continue;
        }
        const auto g = std::size_t(group[i]);
        nextInGroup[i] = first[g];
        first[g] = int(i);
        ++size[g];
        distinct[g] = passwords[i];
    }
    const auto [normal, edits] = NearMatches(distinct);
    // Each normal group's distinct passwords as a chain, and its number of entries.
    int normalGroups = 0;
    for (int n : normal) {
        normalGroups = std::max(normalGroups, n + 1);
    }
    std::vector<int> firstNormal(std::size_t(normalGroups), -1);
    std::vector<int> nextNormal(std::size_t(groups), -1);
    std::vector<int> normalEntries(std::size_t(normalGroups), 0);
    for (std::size_t g = std::size_t(groups); g-- > 0;) {
        if (normal[g] >= 0) {
            const auto n = std::size_t(normal[g]);
            nextNormal[g] = firstNormal[n];
            firstNormal[n] = int(g);
            normalEntries[n] += size[g];
        }
    }
    // The titles of the first few entries of a group, other than the entry itself.
    auto addTitles = [&](int lGroup, std::size_t lSelf, QStringList& rTitles) {
        for (int e = first[std::size_t(lGroup)]; e >= 0 && rTitles.size() < kTitlesShown;
             e = nextInGroup[std::size_t(e)]) {
            if (std::size_t(e) != lSelf) {
                rTitles << m_entries[e].TITLE_TX;
            }
        }
    };
    for (std::size_t i = 0; i < count; ++i) {
        Finding& finding = m_findings[i];
        finding.kinds &= ~Kinds(Reused | NearlyReused);
        finding.reusedCount = finding.nearlyCount = 0;
        finding.reusedWith.clear();
        finding.nearlyWith.clear();
        if (group[i] < 0) {
            continue;
        }
        const auto g = std::size_t(group[i]);
        if (size[g] > 1) {
            finding.kinds |= Reused;
            finding.reusedCount = size[g] - 1;
            addTitles(int(g), i, finding.reusedWith);
        }
        const int n = normal[g];
        if (n >= 0) {
            finding.nearlyCount = normalEntries[std::size_t(n)] - size[g];
            for (int o = firstNormal[std::size_t(n)];
                 o >= 0 && finding.nearlyWith.size() < kTitlesShown;
                 o = nextNormal[std::size_t(o)]) {
                if (std::size_t(o) != g) {
                    addTitles(o, i, finding.nearlyWith);
                }
            }
        }
        for (int o : edits[g]) {
            if (n >= 0 && normal[std::size_t(o)] == n) {
                continue; // counted with the normal group
            }
            finding.nearlyCount += size[std::size_t(o)];
            if (finding.nearlyWith.size() < kTitlesShown) {
                addTitles(o, i, finding.nearlyWith);
            }
        }
        if (finding.nearlyCount > 0) {
            finding.kinds |= NearlyReused;
        }
    }
}

void PasswordHealth::Update(const Entry& changed)
{
    qsizetype index = 0;
    while (index < m_entries.size() && m_entries[index].PASSWORD_ID != changed.PASSWORD_ID) {
        ++index;
    }
    if (index == m_entries.size()) {
        m_entries.append(Entry());
        m_findings.emplace_back();
    }
    Entry& entry = m_entries[index];
    SecretText::Wipe(entry.PASSWORD_TX);
    entry = changed;
    entry.PASSWORD_TX = QString(changed.PASSWORD_TX.constData(), changed.PASSWORD_TX.size());
    std::unique_ptr<BreachList> breach;
    m_breachProblem.clear();
    if (!m_breachPath.isEmpty()) {
        try {
            breach = std::make_unique<BreachList>(m_breachPath);
        } catch (const AppError& error) {
            m_breachProblem = error.Description();
        }
    }
    checkOne(std::size_t(index), breach.get());
    relate();
}

QList<int> PasswordHealth::Ranked() const
{
    QList<int> ranked;
    for (std::size_t i = 0; i < m_findings.size(); ++i) {
        if (m_findings[i].kinds) {
            ranked << int(i);
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(), [this](int a, int b) {
        const Finding& x = m_findings[std::size_t(a)];
        const Finding& y = m_findings[std::size_t(b)];
        if (x.Severity() != y.Severity()) {
            return x.Severity() > y.Severity();
        }
        if (x.bits != y.bits) {
            return x.bits < y.bits;
        }
        return m_entries[a].TITLE_TX.compare(m_entries[b].TITLE_TX, Qt::CaseInsensitive) < 0;
    });
    return ranked;
}

QString PasswordHealth::Summary() const
{
    constexpr int kKinds = 7;
    int counts[kKinds] = {};
    for (const Finding& finding : m_findings) {
        const Kinds kinds[kKinds] = {Weak,     Reused,    NearlyReused, Master, OwnTitle | OwnUser,
                                     Breached, NoPassword};
        for (int k = 0; k < kKinds; ++k) {
            counts[k] += (finding.kinds & kinds[k]) ? 1 : 0;
        }
    }
    QString text = QStringLiteral("%1 entries checked: %2 weak, %3 reused, %4 nearly reused, %5 "
                                  "the master password, %6 containing their title or user name, "
                                  "%7 in a breach list")
                       .arg(m_findings.size())
                       .arg(counts[0])
                       .arg(counts[1])
                       .arg(counts[2])
                       .arg(counts[3])
                       .arg(counts[4])
                       .arg(counts[5]);
    if (counts[6] > 0) {
        text += QStringLiteral(", %1 without a password").arg(counts[6]);
    }
    return text + QLatin1Char('.');
}
