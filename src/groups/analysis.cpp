#include "groups/analysis.h"

#include "app/progress.h"
#include "base/langstrings.h"
#include "base/textfile.h"
#include "base/windowstate.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "recordset/recordset.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QVarLengthArray>

namespace kv6 {

namespace {

// The shared progress window while ShowProgress is on; silent otherwise.
class Progress
{
public:
    explicit Progress(bool show)
        : m_p(show ? SharedProgress() : nullptr)
    { }
    ~Progress()
    {
        if (m_p)
            m_p->Shutdown();
    }
    void start(int captionId, int maximum)
    {
        if (m_p && !m_started) {
            m_p->Initialize(GetLangString(captionId), maximum, nullptr, false);
            m_started = true;
        } else if (m_p) {
            m_p->Reset(GetLangString(captionId), maximum);
        }
    }
    void reset(int maximum)
    {
        if (m_p)
            m_p->Reset(QString(), maximum);
    }
    void step()
    {
        if (m_p)
            m_p->Increment();
    }

private:
    IProgress *m_p;
    bool m_started = false;
};

// ---- group file format

const QChar QuoteStandIn = QChar(1);

QString quoted(const QString &text)
{
    QString t = text;
    t.replace(u'"', QuoteStandIn);
    return u'"' + t + u'"';
}

QString include(bool on)
{
    return on ? QStringLiteral("-1") : QStringLiteral("0");
}

// Costs are written the way the suite's older tools wrote them: ".1", "-1", "2.5".
QString number(Currency value)
{
    qint64 raw = value.raw();
    const bool negative = raw < 0;
    if (negative)
        raw = -raw;
    const qint64 whole = raw / Currency::Scale;
    QString frac = QString::number(raw % Currency::Scale).rightJustified(4, u'0');
    while (frac.endsWith(u'0'))
        frac.chop(1);
    QString out = negative ? QStringLiteral("-") : QString();
    if (whole != 0 || frac.isEmpty())
        out += QString::number(whole);
    if (!frac.isEmpty())
        out += u'.' + frac;
    return out;
}

// Kind and type are views into the file's text, which outlives the records.
struct Record
{
    QStringView kind;
    QStringView type;
    bool include = true;
    QString name;
    Currency cost1;
    Currency cost2;
};

struct ParsedGroupFile
{
    int version = 1;
    qint32 companyId = -1;
    QList<Record> records;
};

struct RecordField
{
    QStringView text;
    bool quoted = false;
};
using RecordFields = QVarLengthArray<RecordField, 8>;

// Splits one record line into views of its fields; texts are quoted and never contain quotes.
// Views, because a group file of tens of thousands of members is read at every start.
bool splitRecord(QStringView line, RecordFields *fields)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (true) {
        while (i < n && line[i] == u' ')
            ++i;
        RecordField field;
        if (i < n && line[i] == u'"') {
            const qsizetype end = line.indexOf(u'"', i + 1);
            if (end < 0)
                return false;
            field.text = line.sliced(i + 1, end - i - 1);
            field.quoted = true;
            i = end + 1;
            while (i < n && line[i] == u' ')
                ++i;
        } else {
            const qsizetype end = line.indexOf(u',', i);
            field.text = line.sliced(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end;
        }
        fields->append(field);
        if (i >= n)
            return true;
        if (line[i] != u',')
            return false;
        ++i;
    }
}

bool parseCost(QStringView text, Currency *out)
{
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok)
        return false;
    *out = Currency::fromDouble(d, &ok);
    return ok;
}

// Reads the version header and the company line.
bool readHeader(const QList<QStringView> &lines, int *next, ParsedGroupFile *file, QString *why)
{
    int at = 0;
    if (!lines.isEmpty()) {
        const QStringView first = lines.first();
        const int colon = first.indexOf(u':');
        if (colon >= 0) {
            bool ok = false;
            file->version = first.mid(colon + 1).trimmed().toInt(&ok);
            if (!ok) {
                *why = QStringLiteral("the version \"%1\" is not a number")
                           .arg(ExcerptForMessage(first.mid(colon + 1).trimmed()));
                return false;
            }
            at = 1;
        }
    }
    if (at >= lines.size()) {
        *why = GetLangString(722);
        return false;
    }
    bool ok = false;
    file->companyId = lines.at(at).trimmed().toInt(&ok);
    if (!ok) {
        *why = QStringLiteral("the company line \"%1\" is not a number")
                   .arg(ExcerptForMessage(lines.at(at)));
        return false;
    }
    *next = at + 1;
    return true;
}

// The file's lines as views into *text. With headerOnly just the first two lines are read, all
// that the version and company need.
bool readLines(const QString &path, QString *text, QList<QStringView> *lines, QString *error,
    bool headerOnly = false)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (headerOnly) {
        QByteArray head = file.readLine();
        head += file.readLine();
        *text = DecodeText(head);
    } else if (!ReadTextFile(path, text, error)) {
        return false;
    }
    *lines = QStringView(*text).split(u'\n');
    // A final line end leaves one empty piece that is not a line.
    if (!lines->isEmpty() && lines->last().isEmpty())
        lines->removeLast();
    return true;
}

// The whole file, checked before anything is applied, so a file outside the format leaves
// the groups as they were.
bool parseGroupFile(const QList<QStringView> &lines, ParsedGroupFile *file, QString *why)
{
    int at = 0;
    if (!readHeader(lines, &at, file, why))
        return false;
    const int wanted = file->version == 1 ? 5 : 6;
    QSet<QString> printerGroups, userGroups;
    file->records.reserve(lines.size() - at);
    RecordFields f;
    for (int i = at; i < lines.size(); ++i) {
        const QStringView line = lines.at(i);
        if (line.trimmed().isEmpty())
            continue;
        auto bad = [&](const QString &reason) {
            *why = QStringLiteral("line %1: %2").arg(i + 1).arg(reason);
            return false;
        };
        f.clear();
        if (!splitRecord(line, &f))
            return bad(QStringLiteral("the quotes do not match"));
        if (f.size() != wanted)
            return bad(
                QStringLiteral("%1 fields where %2 were expected").arg(f.size()).arg(wanted));
        if (!f[0].quoted || !f[1].quoted || !f[3].quoted || f[2].quoted)
            return bad(QStringLiteral("a text or number is out of place"));
        Record r;
        r.kind = f[0].text;
        r.type = f[1].text;
        bool ok = false;
        r.include = f[2].text.toInt(&ok) != 0;
        if (!ok)
            return bad(QStringLiteral("the include flag \"%1\" is not a number")
                           .arg(ExcerptForMessage(f[2].text)));
        r.name = f[3].text.toString();
        r.name.replace(QuoteStandIn, u'"');
        if (!parseCost(f[4].text, &r.cost1))
            return bad(QStringLiteral("the cost \"%1\" is not a number")
                           .arg(ExcerptForMessage(f[4].text)));
        r.cost2 = r.cost1;
        if (wanted == 6 && !parseCost(f[5].text, &r.cost2))
            return bad(QStringLiteral("the cost \"%1\" is not a number")
                           .arg(ExcerptForMessage(f[5].text)));
        if (r.type == QLatin1String("G")
            && (r.kind == QLatin1String("P") || r.kind == QLatin1String("U"))) {
            QSet<QString> &names = r.kind == QLatin1String("P") ? printerGroups : userGroups;
            const QString folded = r.name.toCaseFolded();
            if (names.contains(folded) || folded == UngroupedName.toCaseFolded())
                return bad(QStringLiteral("the group \"%1\" appears twice")
                               .arg(ExcerptForMessage(r.name)));
            names.insert(folded);
        }
        file->records.append(std::move(r));
    }
    return true;
}

void writeList(
    QString &out, const QString &kind, infGroupManager &manager, bool printers, Progress &progress)
{
    // Members are listed per group in item order; one pass buckets them by group number.
    QHash<qint16, QList<GroupItemPtr>> members;
    for (const GroupItemPtr &item : manager.Items())
        members[item->Number()].append(item);
    for (const GroupItemPtr &group : manager.Groups()) {
        const bool pseudo = group->Number() == 1;
        out += quoted(kind) + u',' + quoted(pseudo ? QStringLiteral("U") : QStringLiteral("G"))
            + u',' + include(group->Include()) + u',' + quoted(group->Name());
        if (const PrinterPtr p = printers ? AsPrinter(group) : nullptr)
            out += u',' + number(p->EstCost()) + u',' + number(p->EstCostColor());
        else
            out += QStringLiteral(",0,0");
        out += u'\n';
        for (const GroupItemPtr &item : members.value(group->Number())) {
            out += quoted(kind) + QStringLiteral(",\"I\",") + include(item->Include()) + u','
                + quoted(item->Key());
            if (const PrinterPtr p = printers ? AsPrinter(item) : nullptr)
                out += u',' + number(p->EstCost()) + u',' + number(p->EstCostColor());
            else
                out += QStringLiteral(",0,0");
            out += u'\n';
        }
        progress.step();
    }
}

} // namespace

// ---- managers and dirtiness

void clsAnalysis::newManagers()
{
    m_printers = std::make_unique<clsPrinterManager>();
    m_users = std::make_unique<clsUserManager>();
}

bool clsAnalysis::GroupsDirty() const
{
    if (!m_printers || !m_users)
        return false;
    return m_printers->IsDirty() || m_users->IsDirty();
}

void clsAnalysis::setGroupsDirty(bool dirty)
{
    if (m_printers)
        m_printers->setIsDirty(dirty);
    if (m_users)
        m_users->setIsDirty(dirty);
}

// ---- initialisation

DataResult clsAnalysis::InitializeDefault(DataConnection &connection, qint32 companyId)
{
    newManagers();
    m_groupFile.clear();
    m_companyId = companyId;
    return RefreshItems(connection);
}

DataResult clsAnalysis::InitializeFromGroupFile(DataConnection &connection, const QString &path)
{
    newManagers();
    qint32 company = -1;
    QString error;
    if (!GetGroupFileCompany(path, &company, &error))
        return DataError(dataErrGeneral, error);
    m_groupFile = path;
    m_companyId = company;
    if (DataResult e = RefreshItems(connection))
        return e;
    if (!ApplyGroupsFromFile(path, &error))
        return DataError(dataErrGeneral, error);
    return std::nullopt;
}

DataResult clsAnalysis::RefreshItems(DataConnection &connection)
{
    if (!m_printers || !m_users)
        newManagers();
    const bool wasOpen = connection.IsOpen();
    if (!wasOpen) {
        if (DataResult e = connection.Open(false))
            return e;
    }
    DataResult e = m_printers->BuildListFromData(connection, m_companyId);
    if (!e)
        e = m_users->BuildListFromData(connection, m_companyId);
    if (!wasOpen)
        connection.Close();
    return e;
}

DataResult clsAnalysis::InitializeFromAdminGroups(DataConnection &connection, qint32 companyId)
{
    WaitCursor wait;
    m_companyId = companyId;
    const bool wasOpen = connection.IsOpen();
    if (!wasOpen) {
        if (DataResult e = connection.Open(false))
            return e;
    }
    newManagers();
    m_groupFile.clear();
    Progress progress(m_showProgress);
    progress.start(710, 0);
    DataResult e = RefreshItems(connection);

    RecordsetPtr printerGroups, printerMembers, userGroups, userMembers;
    if (!e) {
        progress.start(711, 0);
        e = DataSettings::GetAdminGroups(connection, 0, 1, printerGroups);
    }
    if (!e)
        e = DataSettings::GetAdminGroupMembers(connection, 0, 1, printerMembers);
    if (!e)
        e = DataSettings::GetAdminGroups(connection, 0, 0, userGroups);
    if (!e)
        e = DataSettings::GetAdminGroupMembers(connection, 0, 0, userMembers);

    // A member of several groups goes to the group of its first record in this order: highest
    // owner, then the alphabetically first group name.
    auto apply = [&](infGroupManager &manager, Recordset &groups, Recordset &members,
                     int groupCaption, int memberCaption, auto idOf) {
        progress.start(groupCaption, groups.RecordCount());
        QSet<QString> names;
        for (const GroupItemPtr &g : manager.Groups())
            names.insert(g->Name().toCaseFolded());
        for (groups.MoveFirst(); !groups.Eof(); groups.MoveNext()) {
            const QString name = groups.Value(QStringLiteral("Name")).toString();
            // Companies may share group names ("Sales"); members then meet in one group, and
            // asking the user about each repeat would only interrupt.
            if (names.contains(name.toCaseFolded())) {
                progress.step();
                continue;
            }
            names.insert(name.toCaseFolded());
            GroupItemPtr entry;
            if (manager.AddGroup(name, &entry)) {
                if (const PrinterPtr p = AsPrinter(entry)) {
                    p->setEstCost(Currency::fromInt(-1));
                    p->setEstCostColor(Currency::fromInt(-1));
                }
                entry->setInclude(true);
            }
            progress.step();
        }
        if (members.RecordCount() > 0) {
            progress.start(memberCaption, manager.Items().count());
            members.SetSort(QStringLiteral("ObjectId ASC, OwnerId DESC, GroupName ASC"));
            QHash<qint64, QString> firstGroup;
            firstGroup.reserve(members.RecordCount());
            const int objectField = members.FieldIndex(QStringLiteral("ObjectId"));
            const int groupField = members.FieldIndex(QStringLiteral("GroupName"));
            for (int row = 0; row < members.RecordCount(); ++row) {
                const qint64 id = members.ValueAt(row, objectField).toLongLong();
                if (!firstGroup.contains(id))
                    firstGroup.insert(id, members.ValueAt(row, groupField).toString());
            }
            for (const GroupItemPtr &item : manager.Items()) {
                const auto it = firstGroup.constFind(idOf(item));
                if (it != firstGroup.cend())
                    manager.AddItemToGroup(*it, item->Key());
                progress.step();
            }
        }
        manager.setIsDirty(false);
    };
    if (!e) {
        apply(*m_printers, *printerGroups, *printerMembers, 712, 713,
            [](const GroupItemPtr &i) { return qint64(AsPrinter(i)->Id()); });
        apply(*m_users, *userGroups, *userMembers, 714, 715,
            [](const GroupItemPtr &i) { return qint64(AsUser(i)->Id()); });
    }
    m_users->setIsDirty(false);
    if (!wasOpen)
        connection.Close();
    return e;
}

// ---- group files

bool clsAnalysis::GetGroupFileCompany(const QString &path, qint32 *companyId, QString *error)
{
    QString text;
    QList<QStringView> lines;
    QString why;
    if (!readLines(path, &text, &lines, &why, true)) {
        *error = GetLangString(723, why);
        return false;
    }
    ParsedGroupFile file;
    int next = 0;
    if (!readHeader(lines, &next, &file, &why)) {
        *error = why == GetLangString(722) ? why : GetLangString(723, why);
        return false;
    }
    *companyId = file.companyId;
    error->clear();
    return true;
}

bool clsAnalysis::ApplyGroupsFromFile(const QString &path, QString *error)
{
    error->clear();
    if (path.isEmpty() || !m_printers || !m_users)
        return false;
    m_groupFile = path;
    WaitCursor wait;
    QString text;
    QList<QStringView> lines;
    QString why;
    if (!readLines(path, &text, &lines, &why)) {
        *error = GetLangString(719, why);
        return false;
    }
    ParsedGroupFile file;
    if (!parseGroupFile(lines, &file, &why)) {
        *error = GetLangString(719, why);
        return false;
    }
    Progress progress(m_showProgress);
    progress.start(718, int(file.records.size()));
    m_users->ClearGroups(true);
    m_printers->ClearGroups(true);
    m_companyId = file.companyId;

    GroupItemPtr printerGroup = m_printers->Ungrouped();
    GroupItemPtr userGroup = m_users->Ungrouped();
    for (const Record &r : file.records) {
        progress.step();
        if (r.kind == QLatin1String("P")) {
            if (r.type == QLatin1String("G")) {
                GroupItemPtr entry;
                if (m_printers->AddGroup(r.name, &entry)) {
                    const PrinterPtr p = AsPrinter(entry);
                    p->setEstCost(Currency::fromInt(-1));
                    p->setEstCostColor(Currency::fromInt(-1));
                    p->setInclude(r.include);
                    printerGroup = entry;
                }
            } else if (r.type == QLatin1String("U")) {
                printerGroup = m_printers->Ungrouped();
                printerGroup->setInclude(r.include);
            } else if (r.type == QLatin1String("I")) {
                const GroupItemPtr *item = m_printers->Items().item(r.name);
                if (!item)
                    continue;
                const PrinterPtr p = AsPrinter(*item);
                p->setInclude(r.include);
                p->setEstCost(r.cost1);
                p->setEstCostColor(r.cost2);
                m_printers->AddItemToGroup(printerGroup->Key(), p->Key());
            }
        } else if (r.kind == QLatin1String("U")) {
            if (r.type == QLatin1String("G")) {
                GroupItemPtr entry;
                if (m_users->AddGroup(r.name, &entry)) {
                    entry->setInclude(r.include);
                    userGroup = entry;
                }
            } else if (r.type == QLatin1String("U")) {
                userGroup = m_users->Ungrouped();
                userGroup->setInclude(r.include);
            } else if (r.type == QLatin1String("I")) {
                const GroupItemPtr *item = m_users->Items().item(r.name);
                if (!item)
                    continue;
                (*item)->setInclude(r.include);
                m_users->AddItemToGroup(userGroup->Key(), (*item)->Key());
            }
        }
    }
    setGroupsDirty(false);
    return true;
}

void clsAnalysis::SaveGroups(const QString &path, QString *error)
{
    error->clear();
    if (path.isEmpty() && m_groupFile.isEmpty())
        return;
    if (!m_printers || !m_users)
        newManagers();
    if (!path.isEmpty())
        m_groupFile = path;
    WaitCursor wait;
    Progress progress(m_showProgress);
    progress.start(720, m_printers->Groups().count());
    QString out = QStringLiteral("Version: 2\n") + QString::number(m_companyId) + u'\n';
    writeList(out, QStringLiteral("P"), *m_printers, true, progress);
    progress.reset(m_users->Groups().count());
    writeList(out, QStringLiteral("U"), *m_users, false, progress);
    QString why;
    if (!WriteTextFile(m_groupFile, out, true, &why)) {
        *error = GetLangString(721, why);
        return;
    }
    setGroupsDirty(false);
}

void clsAnalysis::SaveGroupsCopy(const QString &path, QString *error)
{
    const QString current = m_groupFile;
    const bool dirty = GroupsDirty();
    SaveGroups(path, error);
    m_groupFile = current;
    setGroupsDirty(dirty);
}

bool clsAnalysis::ApplyGroupsFromDatabase(DataConnection &connection,
    const clsSimpleGroups &userGroups, const clsSimpleGroups &printerGroups, QString *error)
{
    error->clear();
    if (!m_printers || !m_users)
        newManagers();
    WaitCursor wait;
    m_users->ClearGroups(userGroups.Count() == 0);
    m_printers->ClearGroups(printerGroups.Count() == 0);
    Progress progress(m_showProgress);
    progress.start(716, 0);

    DataResult e;
    auto apply
        = [&](infGroupManager &manager, const clsSimpleGroups &chosen, const QString &prefix) {
              for (int i = 1; i <= chosen.Count() && !e; ++i) {
                  AdminGroup group;
                  e = DataSettings::LoadAdminGroup(connection, chosen.GroupAtIndex(i), group);
                  if (e)
                      break;
                  GroupItemPtr entry;
                  if (manager.AddGroup(group.Name(), &entry))
                      entry->setInclude(true);
                  progress.reset(group.MemberCount());
                  for (int m = 1; m <= group.MemberCount(); ++m) {
                      const QString key = prefix + QString::number(group.MemberId(m));
                      if (const GroupItemPtr *item = manager.Items().item(key)) {
                          (*item)->setInclude(true);
                          manager.AddItemToGroup(group.Name(), key);
                      }
                      progress.step();
                  }
              }
          };
    apply(*m_users, userGroups, QStringLiteral("USR"));
    if (!e)
        apply(*m_printers, printerGroups, QStringLiteral("PRT"));
    if (e) {
        *error = GetLangString(717, e->Description());
        return false;
    }
    return true;
}

} // namespace kv6
