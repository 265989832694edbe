#include "dataaccess/demodata.h"

#include "dataaccess/bulkjobwriter.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/enumerationtext.h"
#include "dataaccess/summaries.h"

#include <algorithm>
#include <cstring>
#include <QDateTime>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <string>
#include <vector>

namespace kv6 {

// --- random source -----------------------------------------------------------------------------

namespace {
quint64 splitmix64(quint64 &x)
{
    quint64 z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

quint64 rotl(quint64 x, int k)
{
    return (x << k) | (x >> (64 - k));
}
} // namespace

DemoRandom::DemoRandom(quint64 seed)
{
    for (quint64 &s : m_state)
        s = splitmix64(seed);
}

quint64 DemoRandom::next()
{
    const quint64 result = rotl(m_state[1] * 5, 7) * 9;
    const quint64 t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = rotl(m_state[3], 45);
    return result;
}

quint32 DemoRandom::below(quint32 bound)
{
    // Multiply-shift on the high 32 bits; the bias is far below anything a demo could show.
    return quint32(((next() >> 32) * quint64(bound)) >> 32);
}

int DemoRandom::between(int low, int high)
{
    return low + int(below(quint32(high - low + 1)));
}

bool DemoRandom::chance(int perTenThousand)
{
    return int(below(10000)) < perTenThousand;
}

// --- the made-up world -------------------------------------------------------------------------

namespace {

struct Model
{
    const char *name;
    bool color;
    bool duplex;
    int deviceType;
    int monoCost; // ten-thousandths per page
    int colorCost;
    int weight;
};

const Model printerModels[] = {
    { "HP LaserJet Enterprise M507dn", false, true, devPrinter, 180, 0, 14 },
    { "HP LaserJet Pro M404dn", false, true, devPrinter, 220, 0, 12 },
    { "Brother HL-L5100DN", false, true, devPrinter, 160, 0, 9 },
    { "Kyocera ECOSYS P3145dn", false, true, devPrinter, 120, 0, 8 },
    { "Lexmark MS621dn", false, true, devPrinter, 150, 0, 7 },
    { "Canon i-SENSYS LBP226dw", false, true, devPrinter, 200, 0, 5 },
    { "HP LaserJet M110we", false, false, devPrinter, 300, 0, 3 },
    { "Brother HL-1210W", false, false, devPrinter, 350, 0, 2 },
    { "HP Color LaserJet Pro M454dn", true, true, devPrinter, 200, 900, 9 },
    { "HP Color LaserJet Enterprise M555dn", true, true, devPrinter, 170, 800, 7 },
    { "Brother HL-L8360CDW", true, true, devPrinter, 180, 850, 5 },
    { "Kyocera ECOSYS P6235cdn", true, true, devPrinter, 130, 650, 4 },
    { "Lexmark CS521dn", true, true, devPrinter, 170, 780, 4 },
    { "OKI C532dn", true, true, devPrinter, 190, 950, 3 },
    { "Epson WorkForce Pro WF-C5290", true, true, devPrinter, 140, 600, 3 },
    { "Canon PIXMA TS3350", true, false, devPrinter, 500, 1500, 1 },
};

const Model deviceModels[] = {
    { "Canon imageRUNNER ADVANCE DX C5840i", true, true, devMultifunction, 80, 450, 5 },
    { "Ricoh IM C3000", true, true, devMultifunction, 90, 500, 4 },
    { "Xerox VersaLink C7025", true, true, devMultifunction, 100, 520, 3 },
    { "Konica Minolta bizhub C300i", true, true, devMultifunction, 90, 480, 3 },
    { "Sharp MX-M3071", false, true, devMultifunction, 70, 0, 2 },
    { "Ricoh MP 6055", false, true, devCopier, 60, 0, 2 },
    { "Canon imageRUNNER 2630i", false, true, devCopier, 80, 0, 2 },
    { "Kyocera TASKalfa 3253ci", true, true, devCopier, 80, 420, 2 },
};

struct CompanyName
{
    const char *name;
    const char *domain;
};

const CompanyName companyNames[] = {
    { "Northwind Traders", "NORTHWIND" },
    { "Harbour Engineering", "HARBOUR" },
    { "Blue Ridge Legal", "BLUERIDGE" },
    { "Alder & Finch Accountants", "ALDERFINCH" },
    { "Meridian Health Clinics", "MERIDIAN" },
    { "Cobalt Logistics", "COBALT" },
    { "Summit Insurance", "SUMMIT" },
    { "Riverside School District", "RIVERSIDE" },
    { "Granite Construction Group", "GRANITE" },
    { "Lumen Architects", "LUMEN" },
    { "Oakfield Council", "OAKFIELD" },
    { "Pioneer Foods", "PIONEER" },
    { "Silverline Media", "SILVERLINE" },
    { "Beacon Credit Union", "BEACON" },
    { "Westgate Hotels", "WESTGATE" },
    { "Evergreen Pharma", "EVERGREEN" },
    { "Ironbridge Manufacturing", "IRONBRIDGE" },
    { "Maple Dental Group", "MAPLE" },
    { "Crescent Realty", "CRESCENT" },
    { "Atlas Travel", "ATLAS" },
    { "Keystone Law Partners", "KEYSTONE" },
    { "Nordic Design Studio", "NORDIC" },
    { "Orchard Veterinary", "ORCHARD" },
    { "Vantage Consulting", "VANTAGE" },
};

struct Department
{
    const char *name;
    const char *code;
};

const Department departments[] = {
    { "Accounting", "ACC" },
    { "Sales", "SAL" },
    { "Engineering", "ENG" },
    { "Legal", "LEG" },
    { "Marketing", "MKT" },
    { "Human Resources", "HR" },
    { "IT Services", "IT" },
    { "Operations", "OPS" },
    { "Customer Service", "CS" },
    { "Management", "MGT" },
    { "Purchasing", "PUR" },
    { "Research", "RND" },
};

const char *const firstNames[] = { "Anna", "James", "Maria", "David", "Sarah", "Michael", "Laura",
    "Robert", "Emma", "Daniel", "Olivia", "Thomas", "Sophie", "Peter", "Hannah", "Paul", "Julia",
    "Mark", "Claire", "Steven", "Rachel", "Andrew", "Nina", "Kevin", "Grace", "Brian", "Elena",
    "Simon", "Lucy", "George", "Chloe", "Martin", "Alice", "Victor", "Helen", "Oscar", "Irene",
    "Lukas", "Fatima", "Omar", "Priya", "Rahul", "Mei", "Chen", "Yuki", "Kenji", "Ingrid", "Lars",
    "Amelia", "Samuel", "Zoe", "Felix", "Isabel", "Hugo", "Nora", "Adam", "Eva", "Leon", "Ruth",
    "Carlos" };

const char *const lastNames[] = { "Smith", "Johnson", "Brown", "Taylor", "Wilson", "Davies",
    "Evans", "Thomas", "Roberts", "Walker", "Wright", "Thompson", "White", "Hughes", "Edwards",
    "Green", "Hall", "Wood", "Harris", "Martin", "Jackson", "Clarke", "Lewis", "Young", "King",
    "Baker", "Turner", "Hill", "Moore", "Cooper", "Ward", "Morris", "Carter", "Bennett", "Gray",
    "Mitchell", "Shaw", "Cook", "Richardson", "Bell", "Murphy", "Kelly", "Price", "Fischer",
    "Weber", "Schneider", "Novak", "Kowalski", "Garcia", "Martinez", "Lopez", "Rossi", "Bianchi",
    "Dubois", "Laurent", "Jansen", "Visser", "Nielsen", "Larsen", "Berg", "Patel", "Shah", "Khan",
    "Singh", "Wang", "Li", "Zhang", "Tanaka", "Sato", "Kim", "Park", "Nguyen", "Silva", "Santos",
    "Costa", "Ivanova", "Petrov", "Horvat", "Popescu", "O'Brien" };

const char *const subjects[] = { "Quarterly report", "Annual budget", "Meeting agenda",
    "Project plan", "Contract draft", "Minutes", "Sales forecast", "Price list", "Travel expenses",
    "Timesheet", "Staff rota", "Training handbook", "Customer letter", "Proposal", "Brochure",
    "Floor plan", "Safety checklist", "Invoice summary", "Inventory count", "Board presentation",
    "Newsletter", "Holiday request", "Delivery note", "Product data sheet", "Service agreement",
    "Risk assessment", "Annual review", "Onboarding pack", "Network diagram", "Tender documents",
    "Site photos", "Expense claim", "Marketing plan", "Press release", "Case notes",
    "Appointment schedule", "Order confirmation", "Lesson plan", "Shipping manifest",
    "Payroll summary", "Policy update", "Audit findings" };

const char *const subjectSuffixes[]
    = { "", "", "", "", " v2", " final", " (draft)", " - copy", " signed", " rev 3" };

// Pages of one copy: long-tailed, in ten-thousandths.
struct Bucket
{
    int low;
    int high;
    int weight;
};
const Bucket pageBuckets[] = { { 1, 1, 3100 }, { 2, 2, 1600 }, { 3, 5, 2100 }, { 6, 10, 1500 },
    { 11, 20, 1000 }, { 21, 50, 500 }, { 51, 100, 150 }, { 101, 300, 45 }, { 301, 1000, 5 } };
const Bucket copyBuckets[]
    = { { 1, 1, 9000 }, { 2, 2, 600 }, { 3, 5, 300 }, { 6, 10, 70 }, { 11, 30, 30 } };

// Jobs per hour of the day: office hours, a lunch dip, a little overnight.
const int hourWeights[24] = { 2, 1, 1, 1, 1, 3, 15, 120, 700, 1150, 1200, 1050, 600, 950, 1150,
    1100, 900, 500, 200, 100, 60, 40, 20, 8 };

class WeightTable
{
public:
    void add(quint32 weight)
    {
        m_total += std::max<quint32>(weight, 1);
        m_cumulative.push_back(m_total);
    }
    int pick(DemoRandom &random) const
    {
        const quint32 r = random.below(m_total);
        return int(
            std::upper_bound(m_cumulative.begin(), m_cumulative.end(), r) - m_cumulative.begin());
    }
    bool empty() const { return m_cumulative.empty(); }

private:
    std::vector<quint32> m_cumulative;
    quint32 m_total = 0;
};

template<size_t N>
int drawBucket(DemoRandom &random, const Bucket (&buckets)[N])
{
    int r = int(random.below(10000));
    for (const Bucket &b : buckets) {
        if (r < b.weight)
            return random.between(b.low, b.high);
        r -= b.weight;
    }
    return buckets[0].low;
}

template<typename T, size_t N>
const T &pickFrom(DemoRandom &random, const T (&items)[N])
{
    return items[random.below(N)];
}

template<size_t N>
const Model &pickModel(DemoRandom &random, const Model (&models)[N])
{
    int total = 0;
    for (const Model &m : models)
        total += m.weight;
    int r = int(random.below(quint32(total)));
    for (const Model &m : models) {
        if (r < m.weight)
            return m;
        r -= m.weight;
    }
    return models[0];
}

struct Printer
{
    int id;
    int floor;
    int department; // -1 for devices
    const Model *model;
    int connection;
    QString name;
};

struct User
{
    int id;
    int company; // index
    int department;
    int floor;
    int preferred; // printer index within the company
    std::string computer;
};

struct Company
{
    int id;
    QString name;
    QString domain;
    std::string paper;
    std::string otherPaper;
    int floors;
    int departments;
    std::vector<Printer> printers; // devices at the end
    int firstDevice;
    std::string terminalServer;
    QString server;
};

void putTwoDigits(char *at, int value)
{
    at[0] = char('0' + value / 10);
    at[1] = char('0' + value % 10);
}

QString code(const char *text)
{
    return QString::fromLatin1(text);
}

QString lower(const QString &text)
{
    QString out;
    for (const QChar c : text)
        if (c.isLetter())
            out += c.toLower();
    return out;
}

class Generator
{
public:
    Generator(DataConnection &connection, const DemoOptions &options, const DataProgress &progress)
        : m_c(connection)
        , m_options(options)
        , m_progress(progress)
        , m_random(options.seed)
        , m_where(connection.Source().description())
    { }

    DataResult run(DemoSummary &summary)
    {
        if (DataResult e = readStart())
            return e;
        buildWorld();
        if (DataResult e = writeWorld(summary))
            return e;
        return writeJobs(summary);
    }

private:
    DataResult fail(const QSqlQuery &q, const QString &what) const
    {
        return DataError(dataErrQuery,
            QStringLiteral("Cannot write %1 to %2: %3")
                .arg(what, m_where, q.lastError().text().trimmed()));
    }

    DataResult maxOf(const QString &table, const QString &column, qint64 &value)
    {
        QSqlQuery q(m_c.database());
        if (!q.exec(
                QStringLiteral("SELECT COALESCE(MAX(%1), 0), COUNT(*) FROM %2").arg(column, table))
            || !q.next())
            return DataError(dataErrQuery,
                QStringLiteral("Cannot read %1 in %2: %3")
                    .arg(table, m_where, q.lastError().text().trimmed()));
        value = q.value(0).toLongLong();
        if (table == QLatin1String("companies"))
            m_existingCompanies = q.value(1).toInt();
        if (table == QLatin1String("print_jobs"))
            m_existingJobs = q.value(1).toLongLong();
        return std::nullopt;
    }

    DataResult readStart()
    {
        qint64 v = 0;
        if (DataResult e = maxOf(QStringLiteral("companies"), QStringLiteral("company_id"), v))
            return e;
        m_nextCompany = int(v) + 1;
        if (DataResult e = maxOf(QStringLiteral("printers"), QStringLiteral("printer_id"), v))
            return e;
        m_nextPrinter = int(v) + 1;
        if (DataResult e = maxOf(QStringLiteral("users"), QStringLiteral("user_id"), v))
            return e;
        m_nextUser = int(v) + 1;
        if (DataResult e = maxOf(QStringLiteral("admin_groups"), QStringLiteral("group_id"), v))
            return e;
        m_nextGroup = int(v) + 1;
        if (DataResult e = maxOf(QStringLiteral("print_jobs"), QStringLiteral("job_id"), v))
            return e;
        m_nextJob = v + 1;
        return std::nullopt;
    }

    void buildWorld()
    {
        const int deptCount = std::clamp(
            m_options.users / 8, m_options.users >= 2 ? 2 : 1, int(std::size(departments)));
        const int floors = std::clamp((m_options.printers + 3) / 4, 1, 12);
        const int deviceCount = std::max(1, m_options.printers / 5);
        for (int ci = 0; ci < m_options.companies; ++ci) {
            Company co;
            co.id = m_nextCompany++;
            const int nameIndex = m_existingCompanies + ci;
            const CompanyName &cn = companyNames[nameIndex % std::size(companyNames)];
            co.name = QString::fromUtf8(cn.name);
            co.domain = QString::fromLatin1(cn.domain);
            if (nameIndex >= int(std::size(companyNames))) {
                const int round = nameIndex / int(std::size(companyNames)) + 1;
                co.name += QStringLiteral(" %1").arg(round);
                co.domain += QString::number(round);
            }
            const bool letter = m_random.chance(4000);
            co.paper = letter ? "Letter" : "A4";
            co.otherPaper = letter ? "Legal" : "A5";
            co.floors = floors;
            co.departments = deptCount;
            co.terminalServer = "TS-" + co.domain.toStdString() + "-01";
            co.server
                = QStringLiteral("PRINTSRV%1").arg(m_random.between(1, 2), 2, 10, QLatin1Char('0'));
            for (int p = 0; p < m_options.printers; ++p) {
                Printer pr;
                pr.id = m_nextPrinter++;
                pr.floor = p % floors + 1;
                pr.department = departmentOnFloor(pr.floor, floors, deptCount);
                pr.model = &pickModel(m_random, printerModels);
                const int r = int(m_random.below(100));
                pr.connection = r < 55 ? connTcpIp
                    : r < 75           ? connNetworkShare
                    : r < 90           ? connIpp
                    : r < 96           ? connUsb
                                       : connLocal;
                pr.name = QStringLiteral("F%1-%2-%3%4")
                              .arg(pr.floor)
                              .arg(code(departments[pr.department].code))
                              .arg(pr.model->color ? QStringLiteral("CLR") : QStringLiteral("BW"))
                              .arg(p + 1, 2, 10, QLatin1Char('0'));
                co.printers.push_back(pr);
            }
            co.firstDevice = int(co.printers.size());
            for (int d = 0; d < deviceCount; ++d) {
                Printer pr;
                pr.id = m_nextPrinter++;
                pr.floor = d % floors + 1;
                pr.department = -1;
                pr.model = &pickModel(m_random, deviceModels);
                pr.connection = connTcpIp;
                pr.name = QStringLiteral("F%1-%2-%3")
                              .arg(pr.floor)
                              .arg(pr.model->deviceType == devCopier ? QStringLiteral("COPIER")
                                                                     : QStringLiteral("MFP"))
                              .arg(d + 1, 2, 10, QLatin1Char('0'));
                co.printers.push_back(pr);
            }
            m_companies.push_back(std::move(co));
        }
        for (int ci = 0; ci < int(m_companies.size()); ++ci)
            buildUsers(ci);
    }

    // Departments spread over the floors in order: department d sits on floor d*floors/count+1.
    static int floorOfDepartment(int d, int floors, int count) { return d * floors / count + 1; }

    int departmentOnFloor(int floor, int floors, int count)
    {
        std::vector<int> here;
        for (int d = 0; d < count; ++d)
            if (floorOfDepartment(d, floors, count) == floor)
                here.push_back(d);
        if (here.empty())
            return int(m_random.below(quint32(count)));
        return here[m_random.below(quint32(here.size()))];
    }

    void buildUsers(int ci)
    {
        Company &co = m_companies[size_t(ci)];
        QSet<QString> taken;
        std::vector<int> deptSeq(size_t(co.departments), 0);
        for (int u = 0; u < m_options.users; ++u) {
            User us;
            us.id = m_nextUser++;
            us.company = ci;
            us.department = int(m_random.below(quint32(co.departments)));
            us.floor = floorOfDepartment(us.department, co.floors, co.departments);
            const QString first = QString::fromUtf8(pickFrom(m_random, firstNames));
            const QString last = QString::fromUtf8(pickFrom(m_random, lastNames));
            QString login = lower(first.left(1) + last);
            for (int n = 2; taken.contains(login); ++n)
                login = lower(first.left(1) + last) + QString::number(n);
            taken.insert(login);
            // Users print mostly to a printer of their own department, else one on their floor.
            std::vector<int> own, floor;
            for (int p = 0; p < co.firstDevice; ++p) {
                if (co.printers[size_t(p)].department == us.department)
                    own.push_back(p);
                if (co.printers[size_t(p)].floor == us.floor)
                    floor.push_back(p);
            }
            const std::vector<int> &from = !own.empty() ? own : floor;
            us.preferred = from.empty() ? int(m_random.below(quint32(co.firstDevice)))
                                        : from[m_random.below(quint32(from.size()))];
            const int seq = ++deptSeq[size_t(us.department)];
            us.computer = m_random.chance(2500) ? "LT-" + login.toUpper().toStdString()
                                                : QStringLiteral("WS-%1-%2")
                                                      .arg(code(departments[us.department].code))
                                                      .arg(seq, 3, 10, QLatin1Char('0'))
                                                      .toStdString();
            // A few heavy printers, many light ones.
            const int r = int(m_random.below(100));
            const int weight = r < 60 ? m_random.between(1, 5)
                : r < 90              ? m_random.between(6, 20)
                                      : m_random.between(21, 80);
            m_userWeights.add(quint32(weight));
            m_userNames.push_back({ login, first + QLatin1Char(' ') + last });
            m_users.push_back(std::move(us));
        }
    }

    QString portOf(const Company &co, const Printer &p, int index) const
    {
        switch (p.connection) {
        case connTcpIp:
            return QStringLiteral("IP_10.%1.%2.%3")
                .arg(co.id % 250)
                .arg(p.floor)
                .arg(20 + index % 200);
        case connNetworkShare:
            return QStringLiteral("\\\\%1\\%2").arg(co.server, p.name);
        case connIpp:
            return QStringLiteral("ipp://%1.%2.example/ipp/print")
                .arg(p.name.toLower(), co.domain.toLower());
        case connUsb:
            return QStringLiteral("USB%1").arg(index % 9 + 1, 3, 10, QLatin1Char('0'));
        default:
            return QStringLiteral("LPT1:");
        }
    }

    DataResult writeWorld(DemoSummary &summary)
    {
        QSqlDatabase db = m_c.database();
        QSqlQuery company(db), printer(db), user(db), group(db), member(db);
        company.prepare(QStringLiteral("INSERT INTO companies (company_id, name) VALUES (?, ?)"));
        printer.prepare(QStringLiteral(
            "INSERT INTO printers (printer_id, company_id, name, port, host, manufacturer_model, "
            "connection_type, color_device, duplex_device, device_type) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        user.prepare(QStringLiteral("INSERT INTO users (user_id, company_id, user_name, "
                                    "display_name, user_domain) VALUES (?, ?, ?, ?, ?)"));
        group.prepare(QStringLiteral("INSERT INTO admin_groups (group_id, object_type, name, "
                                     "owner_id, company_id) VALUES (?, ?, ?, ?, ?)"));
        member.prepare(
            QStringLiteral("INSERT INTO admin_group_members (group_id, object_id) VALUES (?, ?)"));
        auto addGroup = [&](int objectType, const QString &name, int owner, int companyId,
                            const std::vector<int> &members) -> DataResult {
            if (members.empty())
                return std::nullopt;
            const int id = m_nextGroup++;
            group.addBindValue(id);
            group.addBindValue(objectType);
            group.addBindValue(name);
            group.addBindValue(owner);
            group.addBindValue(companyId);
            if (!group.exec())
                return fail(group, QStringLiteral("administration groups"));
            ++summary.groups;
            for (const int m : members) {
                member.addBindValue(id);
                member.addBindValue(m);
                if (!member.exec())
                    return fail(member, QStringLiteral("group memberships"));
                ++summary.memberships;
            }
            return std::nullopt;
        };

        for (const Company &co : m_companies) {
            company.addBindValue(co.id);
            company.addBindValue(co.name);
            if (!company.exec())
                return fail(company, QStringLiteral("companies"));
            ++summary.companies;
            for (int i = 0; i < int(co.printers.size()); ++i) {
                const Printer &p = co.printers[size_t(i)];
                printer.addBindValue(p.id);
                printer.addBindValue(co.id);
                printer.addBindValue(p.name);
                printer.addBindValue(portOf(co, p, i));
                printer.addBindValue(p.connection == connUsb || p.connection == connLocal
                        ? QStringLiteral("WS-%1-001").arg(code(departments[p.department].code))
                        : co.server);
                printer.addBindValue(QString::fromUtf8(p.model->name));
                printer.addBindValue(p.connection);
                printer.addBindValue(p.model->color);
                printer.addBindValue(p.model->duplex);
                printer.addBindValue(p.model->deviceType);
                if (!printer.exec())
                    return fail(printer, QStringLiteral("printers"));
                ++(p.model->deviceType == devPrinter ? summary.printers : summary.devices);
            }
        }
        for (size_t i = 0; i < m_users.size(); ++i) {
            const User &u = m_users[i];
            user.addBindValue(u.id);
            user.addBindValue(m_companies[size_t(u.company)].id);
            user.addBindValue(m_userNames[i].first);
            user.addBindValue(m_userNames[i].second);
            user.addBindValue(m_companies[size_t(u.company)].domain);
            if (!user.exec())
                return fail(user, QStringLiteral("users"));
            ++summary.users;
        }
        // Administration groups: printers and users by floor (owner 0) and by department
        // (owner 1, so a department's group wins where both hold an object).
        for (int ci = 0; ci < int(m_companies.size()); ++ci) {
            const Company &co = m_companies[size_t(ci)];
            for (int f = 1; f <= co.floors; ++f) {
                std::vector<int> printers, users;
                for (const Printer &p : co.printers)
                    if (p.floor == f)
                        printers.push_back(p.id);
                for (const User &u : m_users)
                    if (u.company == ci && u.floor == f)
                        users.push_back(u.id);
                const QString name = QStringLiteral("Floor %1").arg(f);
                if (DataResult e = addGroup(1, name, 0, co.id, printers))
                    return e;
                if (DataResult e = addGroup(0, name, 0, co.id, users))
                    return e;
            }
            for (int d = 0; d < co.departments; ++d) {
                std::vector<int> printers, users;
                for (const Printer &p : co.printers)
                    if (p.department == d)
                        printers.push_back(p.id);
                for (const User &u : m_users)
                    if (u.company == ci && u.department == d)
                        users.push_back(u.id);
                const QString name = QString::fromUtf8(departments[d].name);
                if (DataResult e = addGroup(1, name, 1, co.id, printers))
                    return e;
                if (DataResult e = addGroup(0, name, 1, co.id, users))
                    return e;
            }
        }
        return std::nullopt;
    }

    // Relative volume of a day: weekdays busy, weekends nearly idle, holidays quiet, month ends
    // a little busier.
    int dayWeight(const QDate &day)
    {
        const int dow = day.dayOfWeek();
        if (dow == 7)
            return 3;
        if (dow == 6)
            return 7;
        if ((day.month() == 1 && day.day() == 1) || (day.month() == 12 && day.day() >= 24))
            return 25;
        int weight = 100 + m_random.between(-15, 15);
        if (day.day() > day.daysInMonth() - 3)
            weight += 20;
        return weight;
    }

    void composeDocument(std::string &out, const Printer &p, bool &walkUp)
    {
        out.clear();
        walkUp = false;
        if (p.model->deviceType != devPrinter && m_random.chance(5000)) {
            // Walk-up copies on copiers and multifunction devices come from no computer.
            walkUp = true;
            out = m_random.chance(8000) ? "Copy" : "Scan to print";
            return;
        }
        const int r = int(m_random.below(100));
        const char *subject = pickFrom(m_random, subjects);
        const char *suffix = pickFrom(m_random, subjectSuffixes);
        if (r < 25) {
            out = "Microsoft Word - ";
            out += subject;
            out += suffix;
            out += ".docx";
        } else if (r < 50) {
            out = subject;
            out += suffix;
            out += ".pdf";
        } else if (r < 62) {
            out = "Microsoft Excel - ";
            out += subject;
            out += ".xlsx";
        } else if (r < 72) {
            out = m_random.chance(6000) ? "Re: " : "Fw: ";
            out += subject;
        } else if (r < 80) {
            out = subject;
            out += " - Intranet";
        } else if (r < 85) {
            out = "Microsoft PowerPoint - ";
            out += subject;
            out += ".pptx";
        } else if (r < 88) {
            out = subject;
            out += ".txt";
        } else if (r < 95) {
            out = "Invoice ";
            out += std::to_string(m_random.between(10000, 99999));
            out += ".pdf";
        } else {
            out = "Purchase order PO-";
            out += std::to_string(m_random.between(1000, 9999));
            out += ".pdf";
        }
    }

    DataResult writeJobs(DemoSummary &summary)
    {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate last = m_options.lastDay.isValid() ? m_options.lastDay : now.date();
        const QDate first = last.addDays(1 - m_options.days);
        summary.firstDay = first;
        summary.lastDay = last;
        if (m_options.jobs <= 0 || m_users.empty())
            return std::nullopt;

        std::vector<quint64> cumulative;
        quint64 total = 0;
        for (QDate d = first; d <= last; d = d.addDays(1)) {
            total += quint64(dayWeight(d));
            cumulative.push_back(total);
        }
        WeightTable hours;
        for (const int w : hourWeights)
            hours.add(quint32(w));

        // An empty table gets its indexes built once after the load instead of row by row.
        QList<IndexDefinition> indexes;
        if (m_existingJobs == 0) {
            if (DataResult e = PrintJobIndexes(m_c, indexes))
                return e;
            for (const IndexDefinition &index : std::as_const(indexes))
                if (DataResult e = m_c.Execute(QStringLiteral("DROP INDEX %1").arg(index.name)))
                    return e;
        }

        // The summaries are rebuilt for the loaded days in one statement after the load.
        if (DataResult e = SuspendSummaries(m_c))
            return e;
        DataResult error;
        std::unique_ptr<BulkJobWriter> writer = BulkJobWriter::create(m_c, error);
        if (!writer)
            return error;

        const qint64 jobs = m_options.jobs;
        std::vector<int> seconds;
        std::string document;
        char time[20] = "yyyy-MM-dd HH:mm:ss";
        qint64 written = 0;
        quint64 previous = 0;
        for (int di = 0; di < int(cumulative.size()); ++di) {
            const qint64 upTo = qint64((quint64(jobs) * cumulative[size_t(di)]) / total);
            const qint64 count = upTo - qint64((quint64(jobs) * previous) / total);
            previous = cumulative[size_t(di)];
            if (count <= 0)
                continue;
            const QDate day = first.addDays(di);
            const QByteArray date = day.toString(Qt::ISODate).toLatin1();
            std::memcpy(time, date.constData(), 10);
            seconds.resize(size_t(count));
            // Today's jobs are squeezed into the hours gone by, so none lies in the future.
            const qint64 daySeconds
                = day == now.date() ? now.time().msecsSinceStartOfDay() / 1000 + 1 : 86400;
            for (int &s : seconds)
                s = int((hours.pick(m_random) * 3600 + qint64(m_random.below(3600))) * daySeconds
                    / 86400);
            std::sort(seconds.begin(), seconds.end());
            for (const int s : seconds) {
                putTwoDigits(time + 11, s / 3600);
                putTwoDigits(time + 14, s / 60 % 60);
                putTwoDigits(time + 17, s % 60);
                const int ui = m_userWeights.pick(m_random);
                const User &u = m_users[size_t(ui)];
                const Company &co = m_companies[size_t(u.company)];
                const Printer &p = pickPrinter(co, u);
                BulkJob job;
                job.jobId = m_nextJob++;
                job.companyId = co.id;
                job.userId = u.id;
                job.printerId = p.id;
                job.time = std::string_view(time, 19);
                bool walkUp = false;
                composeDocument(document, p, walkUp);
                job.document = document;
                job.computer = walkUp      ? std::string_view()
                    : m_random.chance(500) ? std::string_view(co.terminalServer)
                                           : std::string_view(u.computer);
                const int perCopy = drawBucket(m_random, pageBuckets);
                job.copies = walkUp ? drawBucket(m_random, copyBuckets) + m_random.between(0, 4)
                                    : drawBucket(m_random, copyBuckets);
                int colorPerCopy = 0;
                if (p.model->color && m_random.chance(3500))
                    colorPerCopy = m_random.chance(5500) ? perCopy : m_random.between(1, perCopy);
                job.pages = perCopy * job.copies;
                job.colorPages = colorPerCopy * job.copies;
                job.duplex = p.model->duplex && perCopy > 1
                    && m_random.chance(p.model->deviceType == devPrinter ? 4500 : 6000);
                const int paper = int(m_random.below(10000));
                job.paper = paper < 9200 ? std::string_view(co.paper)
                    : paper < 9700       ? std::string_view(co.otherPaper)
                    : paper < 9950       ? std::string_view("A3")
                                         : std::string_view("Envelope DL");
                job.sizeBytes = walkUp ? -1
                                       : qint64(perCopy)
                            * (colorPerCopy > 0 ? m_random.between(150000, 900000)
                                                : m_random.between(20000, 120000))
                        + m_random.between(8000, 60000);
                const int status = int(m_random.below(10000));
                job.status = status < 9620 ? 0 : status < 9870 ? 1 : status < 9960 ? 2 : 3;
                job.cost = qint64(job.pages - job.colorPages) * p.model->monoCost
                    + qint64(job.colorPages) * p.model->colorCost;
                if (DataResult e = writer->add(job))
                    return e;
                summary.pages += job.pages;
                ++written;
                if ((written & 0x3fff) == 0 && m_progress && !m_progress(written, jobs))
                    return cancelled();
            }
        }
        if (DataResult e = writer->finish())
            return e;
        writer.reset();
        summary.jobs = written;
        for (const IndexDefinition &index : std::as_const(indexes))
            if (DataResult e = m_c.Execute(index.sql))
                return e;
        if (DataResult e = ResumeSummaries(m_c, first, last))
            return e;
        if (m_progress && !m_progress(written, jobs))
            return cancelled();
        return std::nullopt;
    }

    const Printer &pickPrinter(const Company &co, const User &u)
    {
        const int r = int(m_random.below(100));
        const int devices = int(co.printers.size()) - co.firstDevice;
        if (r < 70)
            return co.printers[size_t(u.preferred)];
        if (r < 82 && devices > 0) {
            // The copier or multifunction device on the user's floor, else any.
            for (int i = co.firstDevice; i < int(co.printers.size()); ++i)
                if (co.printers[size_t(i)].floor == u.floor)
                    return co.printers[size_t(i)];
            return co.printers[size_t(co.firstDevice + int(m_random.below(quint32(devices))))];
        }
        return co.printers[m_random.below(quint32(co.firstDevice))];
    }

    DataResult cancelled() const
    {
        return DataError(dataErrCancelled,
            QStringLiteral("Writing demo data to %1 was cancelled; nothing was kept.")
                .arg(m_where));
    }

    DataConnection &m_c;
    const DemoOptions &m_options;
    const DataProgress &m_progress;
    DemoRandom m_random;
    QString m_where;
    int m_existingCompanies = 0;
    qint64 m_existingJobs = 0;
    int m_nextCompany = 1;
    int m_nextPrinter = 1;
    int m_nextUser = 1;
    int m_nextGroup = 1;
    qint64 m_nextJob = 1;
    std::vector<Company> m_companies;
    std::vector<User> m_users;
    std::vector<std::pair<QString, QString>> m_userNames;
    WeightTable m_userWeights;
};

DataResult checkOptions(const DemoOptions &o)
{
    QString bad;
    if (o.jobs < 0)
        bad = QStringLiteral("The number of jobs cannot be negative.");
    else if (o.companies < 1 || o.companies > 1000)
        bad = QStringLiteral("The number of companies must be between 1 and 1000.");
    else if (o.printers < 1 || o.printers > 10000)
        bad = QStringLiteral("The number of printers must be between 1 and 10000.");
    else if (o.users < 1 || o.users > 1000000)
        bad = QStringLiteral("The number of users must be between 1 and 1000000.");
    else if (o.days < 1 || o.days > 36500)
        bad = QStringLiteral("The number of days must be between 1 and 36500.");
    if (bad.isEmpty())
        return std::nullopt;
    return DataError(dataErrInvalid, bad);
}

} // namespace

DataResult GenerateDemoData(DataConnection &connection, const DemoOptions &options,
    DemoSummary *summary, const DataProgress &progress)
{
    if (DataResult e = checkOptions(options))
        return e;
    if (!connection.IsOpen())
        return DataError(dataErrNotOpen,
            QStringLiteral("%1 is not open.").arg(connection.Source().description()));
    const bool sqlite = connection.Source().isSQLite();
    // A large page cache keeps the index builds after the load in memory.
    if (sqlite)
        connection.Execute(QStringLiteral("PRAGMA cache_size = -262144"));
    DemoSummary result;
    DataResult e = connection.InTransaction([&]() -> DataResult {
        Generator generator(connection, options, progress);
        if (DataResult e = generator.run(result))
            return e;
        return SyncIdentityCounters(connection);
    });
    if (sqlite)
        connection.Execute(QStringLiteral("PRAGMA cache_size = -2000"));
    if (e)
        return e;
    // Fresh statistics let the planners pick the date and company indexes; a failure here only
    // costs speed.
    if (result.jobs > 0) {
        if (sqlite)
            connection.Execute(QStringLiteral("PRAGMA analysis_limit = 1000"));
        // Table by table: a bare ANALYZE on PostgreSQL also visits (and warns about) the
        // system catalogues an ordinary user may not analyse.
        for (const QString &table :
            QStringList { QStringLiteral("companies"), QStringLiteral("printers"),
                QStringLiteral("users"), QStringLiteral("print_jobs"),
                QStringLiteral("admin_groups"), QStringLiteral("admin_group_members") }
                + SummaryTableNames())
            connection.Execute(QStringLiteral("ANALYZE ") + table);
    }
    if (summary)
        *summary = result;
    return std::nullopt;
}

} // namespace kv6
