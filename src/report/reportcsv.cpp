#include "report/reportcsv.h"

#include "base/textfile.h"
#include "report/reportparameter.h"
#include "vbcore/currency.h"
#include "vbcore/numbertype.h"
#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"

#include <QSaveFile>

#include <cmath>

namespace kv6 {

QString CsvValue(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("\"\"");
    QString text;
    // Typed numbers are known to read back as numbers; parsing each again through the locale
    // took most of a large export's time.
    bool number = false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        text = value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        break;
    case QMetaType::QDateTime:
        text = VbDateText(VbDateToDouble(value.toDateTime()), VbLocale());
        break;
    case QMetaType::QDate:
        text = VbDateText(VbDateToDouble(value.toDate()), VbLocale());
        break;
    case QMetaType::Double:
    case QMetaType::Float: {
        // Shortest exact form, decimal point as the program writes numbers everywhere else.
        const double d = value.toDouble();
        text = QString::number(d, 'g', 15);
        number = std::isfinite(d);
        break;
    }
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        // These print as the character they hold: asked about like any text.
        text = value.toString();
        break;
    default:
        if (value.userType() == qMetaTypeId<Currency>()) {
            text = value.value<Currency>().toString();
            number = true;
        } else {
            text = value.toString();
            number = IsWholeNumberType(value.typeId());
        }
        break;
    }
    // Numbers, and texts that read as numbers, go out bare; a comma would split the value.
    if (!text.contains(QLatin1Char(',')) && (number || clsReportParameter::ToNumber(text)))
        return text;
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool WriteReportCsv(const RecordsetPtr &data, const QString &path, QString *error,
    const std::function<bool(int, int)> &progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const int records = data ? data->RecordCount() : 0;
    const int fields = data ? data->FieldCount() : 0;
    QByteArray line;
    for (int r = 0; r < records; ++r) {
        line.clear();
        for (int f = 0; f < fields; ++f) {
            if (f)
                line += ',';
            line += CsvValue(data->ValueAt(r, f)).toUtf8();
        }
        line += "\r\n";
        if (file.write(line) != line.size()) {
            if (error)
                *error = WriteFailure(file);
            file.cancelWriting();
            return false;
        }
        if (progress && !progress(r + 1, records)) {
            file.cancelWriting();
            if (error)
                *error = QStringLiteral("The export was cancelled.");
            return false;
        }
    }
    QString why;
    if (!CommitFile(file, &why)) {
        if (error)
            *error = why;
        return false;
    }
    return true;
}

} // namespace kv6
