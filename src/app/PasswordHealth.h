// The password health report: each entry's strength, and the passwords that are reused, nearly
// reused, the master password, built from the entry's own title or user name, or in a breach
// list. Runs on a worker thread; holds plain passwords until Wipe.
#pragma once

#include "app/PasswordStrength.h"

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <atomic>
#include <functional>
#include <span>
#include <utility>
#include <vector>

class PasswordHealth
{
public:
    struct Entry
    {
        QString PASSWORD_ID;
        QString TITLE_TX;
        QString USER_NM;
        QString PASSWORD_TX;
        QString WEB_SITE_TX;
    };

    enum Kind {
        Weak = 0x1,
        Reused = 0x2,
        NearlyReused = 0x4,
        Master = 0x8,
        OwnTitle = 0x10,
        OwnUser = 0x20,
        Breached = 0x40,
        // An entry stored without a password (an import may bring one in).
        NoPassword = 0x80,
    };
    Q_DECLARE_FLAGS(Kinds, Kind)

    // What was found for one entry; never its password.
    struct Finding
    {
        Kinds kinds;
        double bits = 0;
        qint64 seen = 0;
        // The other entries with the same password, or nearly the same: their number and the
        // titles of the first few.
        int reusedCount = 0;
        QStringList reusedWith;
        int nearlyCount = 0;
        QStringList nearlyWith;
        // Larger is worse: what orders the report.
        int Severity() const;
        // The findings in words, "; " between them.
        QString Text() const;
    };

    // Takes the entries and a copy of the master password; a breach list path may be empty.
    PasswordHealth(QList<Entry> entries, const QString& sMaster, const QString& sBreachPath);
    // Wipes what it holds.
    ~PasswordHealth();
    PasswordHealth(const PasswordHealth&) = delete;
    PasswordHealth& operator=(const PasswordHealth&) = delete;

    // Checks every entry, then relates them. Stops when cancel is set, wipes every password it
    // holds and gives false. Safe to call on a worker thread while the caller reads Done().
    bool Run(const std::atomic<bool>& cancel);
    // Called on the running thread after each entry with the number done (a test's seam).
    std::function<void(int)> StepHook;
    int Done() const { return m_done.load(); }
    int Count() const { return int(m_entries.size()); }

    // Checks one entry again after the editor stored it (added when it is new), then relates
    // all entries again.
    void Update(const Entry& changed);

    // The indexes of the entries with a finding, worst first.
    QList<int> Ranked() const;
    const Entry& EntryAt(int lIndex) const { return m_entries[lIndex]; }
    const Finding& FindingAt(int lIndex) const { return m_findings[std::size_t(lIndex)]; }
    // "120 entries checked: 3 weak, ...".
    QString Summary() const;
    // Why the breach list could not be used during the last run; empty when it was.
    QString BreachProblem() const { return m_breachProblem; }

    // Zeroes every password it holds (every copy sharing their buffers reads zeros).
    void Wipe();

    // The passwords' groups of equal ones: a group number per password, and how many groups.
    static std::vector<int> ExactGroups(const std::vector<QStringView>& passwords, int& rlGroups);
    // For each of a list of texts, the indexes of its partners in ascending order; all lists in
    // one array.
    struct Partners
    {
        std::vector<int> offsets;
        std::vector<int> list;
        std::span<const int> operator[](std::size_t lText) const
        {
            return {list.data() + offsets[lText], list.data() + offsets[lText + 1]};
        }
    };
    // Of distinct passwords: for each, the others that are one edit apart (both 8 characters or
    // more), found through buckets of shared halves, never by comparing all pairs.
    static Partners OneEditApart(const std::vector<QStringView>& distinct);
    // Both of the below over a packed copy of the distinct passwords (read in order rather than
    // from all over memory), zeroed afterwards: the normal groups and the one-edit partners.
    static std::pair<std::vector<int>, Partners>
    NearMatches(const std::vector<QStringView>& distinct);
    // Of distinct passwords: a group number per password of those equal after dropping digits
    // and symbols at both ends and lower-casing (-1 where fewer than 4 letters remain).
    static std::vector<int> NormalGroups(const std::vector<QStringView>& distinct);

private:
    void checkOne(std::size_t lIndex, class BreachList* breach);
    void relate();

    QList<Entry> m_entries;
    std::vector<Finding> m_findings;
    QString m_master;
    QString m_breachPath;
    QString m_breachProblem;
    std::atomic<int> m_done{0};
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PasswordHealth::Kinds)
