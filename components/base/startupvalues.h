#pragma once

// Process-wide values that start-up resolves once and everything else reads: the program's and
// the user's folders, the help file, the report logo and the interface font. Readers get a const
// view; only start-up (and the report-logo command, and tests) replace the values.

#include <QFont>
#include <QImage>
#include <QString>

#include <utility>

namespace kv6 {

struct StartupValues
{
    QString UserReportsFolder;
    QString GroupsFolder;
    QString ScheduleCopiesFolder;
    QString DefinitionsFolder;
    QString ApplicationHelpFile;
    QImage ReportLogoPicture;
    QFont InterfaceFont;
};

const StartupValues &Startup();
void SetStartupValues(const StartupValues &values);

// Replaces one value, keeping the others.
template<typename T>
void SetStartupValue(T StartupValues::*member, T value)
{
    StartupValues v = Startup();
    v.*member = std::move(value);
    SetStartupValues(v);
}

} // namespace kv6
