// The password health report: per-entry checks, then reuse, near reuse and the master password
// found by hashing and bucketing.
#include "app/PasswordHealth.h"

#include "data/BreachList.h"
#include "platform/AppError.h"
#include "platform/SecretText.h"

#include <QHash>
#include <algorithm>
#include <bit>
#include <limits>
#include <memory>
#include <optional>

namespace {

// The titles named in a finding; the others are counted.
constexpr int kTitlesShown = 3;
// Near reuse: the shortest password compared by edits, the fewest letters a password keeps
// when its ends are trimmed, and the bucket size above which its members are matched by their
// deletions instead of pair by pair.
constexpr qsizetype kEditMinLength = 8;
constexpr qsizetype kNormalMinLength = 4;
constexpr std::size_t kPairwiseBucket = 32;

// True when the texts are one insertion, deletion or substitution apart.
bool oneEdit(QStringView a, QStringView b)
{
    if (a.size() > b.size()) {
        std::swap(a, b);
    }
    if (b.size() - a.size() > 1) {
        return false;
    }
    qsizetype i = 0;
    while (i < a.size() && a[i] == b[i]) {
        ++i;
    }
    if (a.size() == b.size()) {
        return i < a.size() && a.sliced(i + 1) == b.sliced(i + 1);
    }
    return a.sliced(i) == b.sliced(i + 1);
}

// Buckets as chains through one array: an open-addressing table from each key to the last
// node added under it, and for each node its member and the node added before it under the
// same key. Sized once for the nodes expected, so it never grows.
class Chains
{
public:
    explicit Chains(std::size_t lExpected)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * lExpected) {
            capacity *= 2;
        }
        m_keys.resize(capacity);
        m_heads.assign(capacity, -1);
        m_mask = capacity - 1;
        m_shift = 64 - std::countr_zero(capacity);
        next.reserve(lExpected);
        member.reserve(lExpected);
    }
    void add(quint64 key, int lMember)
    {
        std::size_t slot = this->slot(key);
        if (m_heads[slot] < 0 && member.size() * 2 >= m_keys.size()) {
            grow();
            slot = this->slot(key);
        }
        next.push_back(m_heads[slot]);
        m_keys[slot] = key;
        m_heads[slot] = int(member.size());
        member.push_back(lMember);
    }
    // The last node under the key; -1 when none.
    int find(quint64 key) const { return m_heads[slot(key)]; }
    std::vector<int> next;
    std::vector<int> member;

private:
    std::size_t slot(quint64 key) const
    {
        // Fibonacci hashing: the product's top bits, where every bit of the key has mixed in.
        std::size_t i = std::size_t(((key ^ (key >> 32)) * 0x9E3779B97F4A7C15ULL) >> m_shift);
        while (m_heads[i] >= 0 && m_keys[i] != key) {
            i = (i + 1) & m_mask;
        }
        return i;
    }
    void grow()
    {
        const std::vector<quint64> keys = std::move(m_keys);
        const std::vector<int> heads = std::move(m_heads);
        m_keys.assign(keys.size() * 2, 0);
        m_heads.assign(keys.size() * 2, -1);
        m_mask = m_keys.size() - 1;
        m_shift = 64 - std::countr_zero(m_keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (heads[i] >= 0) {
                const std::size_t to = slot(keys[i]);
                m_keys[to] = keys[i];
                m_heads[to] = heads[i];
            }
        }
    }
    std::vector<quint64> m_keys;
    std::vector<int> m_heads;
    std::size_t m_mask = 0;
    int m_shift = 60;
};

// The members of a large bucket matched through the hashes of their one-character deletions at
// places from lFrom to before lTo (the places the bucket's shared half leaves open): equal
// deletions at the same place are one substitution apart, a deletion equal to a whole text one
// insertion. Polynomial hashes make each deletion's hash one step.
void matchByDeletions(const std::vector<QStringView>& texts, const std::vector<int>& members,
                      qsizetype lFrom, qsizetype lTo, std::vector<std::vector<int>>& rPartners)
{
    constexpr quint64 kBase = 0x100000001B3ULL;
    Chains deletions(members.size() * 8);
    // Each member's whole hash, and its deletions' hashes and places from offsets[m] on: the
    // text is read once.
    std::vector<quint64> whole(members.size());
    std::vector<std::size_t> offsets(members.size() + 1);
    std::vector<quint64> hashes;
    std::vector<qsizetype> places;
    std::vector<quint64> prefix;
    std::vector<quint64> power;
    for (std::size_t m = 0; m < members.size(); ++m) {
        const QStringView s = texts[std::size_t(members[m])];
        const auto length = std::size_t(s.size());
        prefix.assign(length + 1, 0);
        power.assign(length + 1, 1);
        for (std::size_t i = 0; i < length; ++i) {
            prefix[i + 1] = prefix[i] * kBase + s[qsizetype(i)].unicode() + 1;
            power[i + 1] = power[i] * kBase;
        }
        whole[m] = prefix[length];
        offsets[m] = hashes.size();
        const auto last = std::min<std::size_t>(length, std::size_t(lTo));
        for (std::size_t i = std::size_t(lFrom); i < last; ++i) {
            const quint64 rest = prefix[length] - prefix[i + 1] * power[length - 1 - i];
            hashes.push_back(prefix[i] * power[length - 1 - i] + rest);
            places.push_back(qsizetype(i));
            deletions.add(hashes.back(), int(m));
        }
    }
    offsets[members.size()] = hashes.size();
    auto match = [&](quint64 key, std::size_t m, std::optional<qsizetype> place) {
        for (int node = deletions.find(key); node >= 0; node = deletions.next[std::size_t(node)]) {
            const auto other = std::size_t(deletions.member[std::size_t(node)]);
            if (other == m || (place && places[std::size_t(node)] != *place)) {
                continue;
            }
            const int a = members[m];
            const int b = members[other];
            if (oneEdit(texts[std::size_t(a)], texts[std::size_t(b)])) {
                rPartners[std::size_t(a)].push_back(b);
                rPartners[std::size_t(b)].push_back(a);
            }
        }
    };
    for (std::size_t m = 0; m < members.size(); ++m) {
        for (std::size_t d = offsets[m]; d < offsets[m + 1]; ++d) {
            match(hashes[d], m, places[d]);
        }
        // A longer member one of whose deletions is this whole text.
        match(whole[m], m, std::nullopt);
    }
}

// A bucket key with its member and a tag; sorted by key, equal keys stand together.
struct Keyed
{
    quint32 key;
    int member;
    int tag;
};

// Sorts by key in two passes of 16 bits: sequential work where a hash table would jump about
// in memory for every key. Keys are 32 bits: texts whose keys meet by chance are only compared
// for nothing.
void sortByKey(std::vector<Keyed>& rItems)
{
    std::vector<Keyed> buffer(rItems.size());
    std::vector<std::size_t> counts(1 << 16);
    for (int shift = 0; shift < 32; shift += 16) {
        std::fill(counts.begin(), counts.end(), 0);
        for (const Keyed& item : rItems) {
            ++counts[(item.key >> shift) & 0xFFFF];
        }
        std::size_t total = 0;
        for (std::size_t& count : counts) {
            total += std::exchange(count, total);
        }
        for (const Keyed& item : rItems) {
            buffer[counts[(item.key >> shift) & 0xFFFF]++] = item;
        }
        rItems.swap(buffer);
    }
}

// Calls visit(first, last) for every run of two or more equal keys.
template <typename Visit> void forEachRun(const std::vector<Keyed>& items, Visit visit)
{
    for (std::size_t first = 0; first < items.size();) {
        std::size_t last = first + 1;
        while (last < items.size() && items[last].key == items[first].key) {
            ++last;
        }
        if (last - first > 1) {
            visit(first, last);
        }
        first = last;
    }
}

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
    std::vector<QStringView> normal(distinct.size());
    std::vector<Keyed> keyed;
    keyed.reserve(distinct.size());
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        QStringView s = distinct[i];
        while (!s.isEmpty() && !s.front().isLetter()) {
            s = s.sliced(1);
        }
        while (!s.isEmpty() && !s.back().isLetter()) {
            s.chop(1);
        }
        if (s.size() < kNormalMinLength) {
            continue;
        }
        normal[i] = s;
        // FNV-1a over the case-folded text.
        quint64 key = 0xCBF29CE484222325ULL;
        for (QChar ch : s) {
            const char16_t c = ch.unicode();
            const char16_t folded =
                c < 0x80 ? (c >= u'A' && c <= u'Z' ? c + 32 : c) : ch.toCaseFolded().unicode();
            key = (key ^ folded) * 0x100000001B3ULL;
        }
        keyed.push_back({quint32(key ^ (key >> 32)), int(i), 0});
    }
    sortByKey(keyed);
    std::vector<int> group(distinct.size(), -1);
    int groups = 0;
    // Texts of one key are one text but where two hashes met: each joins the first of the
    // run's texts equal to it. A text alone under its key stays in no group.
    std::vector<std::size_t> firsts;
    forEachRun(keyed, [&](std::size_t first, std::size_t last) {
        firsts.clear();
        for (std::size_t i = first; i < last; ++i) {
            const auto self = std::size_t(keyed[i].member);
            for (std::size_t other : firsts) {
                if (normal[other].compare(normal[self], Qt::CaseInsensitive) == 0) {
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
    return group;
}

std::vector<std::vector<int>> PasswordHealth::OneEditApart(const std::vector<QStringView>& distinct)
{
    // Two texts one edit apart, the shorter of length m, share their first m/2 characters or
    // their last m - m/2: the edit falls on one side. Each text goes into the buckets of its own
    // length and of one less, by each half; the tag keeps which (m * 2, plus 1 for the last
    // part).
    std::vector<Keyed> keyed;
    keyed.reserve(distinct.size() * 4);
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        const QStringView s = distinct[i];
        for (qsizetype m = s.size(); m >= s.size() - 1 && m >= kEditMinLength; --m) {
            const qsizetype half = m / 2;
            const auto tag = int(m * 2);
            keyed.push_back({quint32(qHash(s.first(half), std::size_t(tag))), int(i), tag});
            keyed.push_back(
                {quint32(qHash(s.last(m - half), std::size_t(tag + 1))), int(i), tag + 1});
        }
    }
    sortByKey(keyed);
    std::vector<std::vector<int>> partners(distinct.size());
    std::vector<int> members;
    forEachRun(keyed, [&](std::size_t first, std::size_t last) {
        members.clear();
        bool oneTag = true;
        for (std::size_t i = first; i < last; ++i) {
            members.push_back(keyed[i].member);
            oneTag = oneTag && keyed[i].tag == keyed[first].tag;
        }
        if (members.size() > kPairwiseBucket) {
            // The edit lies in the part the bucket's key leaves open (all of it where keys of
            // different parts met).
            const int tag = keyed[first].tag;
            const qsizetype half = tag / 4;
            const bool lastPart = tag % 2;
            const qsizetype from = oneTag && !lastPart ? half : 0;
            const qsizetype to = oneTag && lastPart ? half : std::numeric_limits<qsizetype>::max();
            matchByDeletions(distinct, members, from, to, partners);
            return;
        }
        for (std::size_t a = 0; a < members.size(); ++a) {
            for (std::size_t b = a + 1; b < members.size(); ++b) {
                const auto x = std::size_t(members[a]);
                const auto y = std::size_t(members[b]);
                if (x != y && oneEdit(distinct[x], distinct[y])) {
                    partners[x].push_back(int(y));
                    partners[y].push_back(int(x));
                }
            }
        }
    });
    for (std::vector<int>& list : partners) {
        if (list.size() > 1) {
            std::sort(list.begin(), list.end());
            list.erase(std::unique(list.begin(), list.end()), list.end());
        }
    }
    return partners;
}

std::pair<std::vector<int>, std::vector<std::vector<int>>>
PasswordHealth::NearMatches(const std::vector<QStringView>& distinct)
{
    std::size_t total = 0;
    for (QStringView text : distinct) {
        total += std::size_t(text.size());
    }
    std::vector<char16_t> packed(total);
    std::vector<QStringView> views(distinct.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        std::copy(distinct[i].utf16(), distinct[i].utf16() + distinct[i].size(), &packed[at]);
        views[i] = QStringView(&packed[at], distinct[i].size());
        at += std::size_t(distinct[i].size());
    }
    auto result = std::make_pair(NormalGroups(views), OneEditApart(views));
    SecretText::Zero(packed.data(), packed.size() * sizeof(char16_t));
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
    int counts[6] = {};
    for (const Finding& finding : m_findings) {
        const Kinds kinds[] = {Weak, Reused, NearlyReused, Master, OwnTitle | OwnUser, Breached};
        for (int k = 0; k < 6; ++k) {
            counts[k] += (finding.kinds & kinds[k]) ? 1 : 0;
        }
    }
    return QStringLiteral("%1 entries checked: %2 weak, %3 reused, %4 nearly reused, %5 the "
                          "master password, %6 containing their title or user name, %7 in a "
                          "breach list.")
        .arg(m_findings.size())
        .arg(counts[0])
        .arg(counts[1])
        .arg(counts[2])
        .arg(counts[3])
        .arg(counts[4])
        .arg(counts[5]);
}
