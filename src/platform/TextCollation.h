// The order of texts that ignore letter case, as the user's language sorts them; it orders the
// lists when they are read from the data file and when a header of the list is clicked.
#pragma once

#include <QByteArrayView>
#include <QCollator>
#include <QStringView>

struct sqlite3;

class TextCollation
{
public:
    TextCollation();

    // A collator of the user's locale that ignores case. The bare C locale would order by code
    // point, so a machine without a locale gets the common English order instead.
    static QCollator Collator();

    // Orders two texts by the collator. Texts that are equal apart from the case of the letters
    // A-Z are equal, exactly as SQLite's NOCASE has them; other texts the collator finds equal
    // are told apart that same way, so equality and DISTINCT stay what they were.
    int Compare(QByteArrayView aUtf8, QByteArrayView bUtf8) const;

    // Installs the order as the connection's NOCASE, which the text columns of a data file
    // declare, so that "ORDER BY" on them sorts as the lists do. Gives SQLite's result code.
    static int InstallAsNoCase(sqlite3* db);

    // The name under which InstallAsNoCase registers the order.
    static constexpr char NoCaseName[] = "NOCASE";

private:
    QCollator m_collator;
};
