#pragma once

// Reading the typed children of a report-definition element. Definition files were written for
// a VB program, so Booleans and integers follow its text conversions; a value that does not
// convert is an error that fails the whole definition rather than a silent default.

#include <QDomNode>
#include <QString>

#include <optional>

namespace kv6 {

// CBool of text: "True"/"False" in any case, or any number (0 false, anything else true).
std::optional<bool> TextToBool(const QString &text);
// CInt of text: a number rounded half to even, within -32768..32767.
std::optional<qint16> TextToInt16(const QString &text);
// A number as IsNumeric sees it (locale separator, "&H" hex, surrounding blanks).
std::optional<double> TextToNumber(const QString &text);

// A text that is a number stands for the localised string of that number.
QString LocalisedText(const QString &text);

// Reads children of one element. Conversion failures are collected rather than returned one
// by one, so a loader reads every field in order and asks once at the end.
class DefinitionReader
{
public:
    // `what` names the element in error texts, e.g. "parameter \"From\"".
    DefinitionReader(const QDomNode &node, const QString &what);

    const QDomNode &node() const { return m_node; }
    void setWhat(const QString &what) { m_what = what; }

    QString text(const QString &child, const QString &defaultText = {}) const;
    QString localised(const QString &child) const;
    bool boolean(const QString &child, const QString &defaultText);
    // An empty default makes the element compulsory.
    qint16 int16(const QString &child, const QString &defaultText);

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    void fail(const QString &error);

private:
    QDomNode m_node;
    QString m_what;
    QString m_error;
};

} // namespace kv6
