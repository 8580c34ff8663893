#include "officetestutil.h"

#include <QProcess>
#include <QRegularExpression>

namespace officetest {

QString HelperPath()
{
    return QStringLiteral(VANTOLI_OFFICE_HELPER);
}

bool WritePng(const QString& path, const QColor& colour, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, "PNG");
}

QString WriteDocxWithPython(const QString& path, const QStringList& paragraphs)
{
    const QString script = QStringLiteral(
        "import sys, docx\n"
        "d = docx.Document()\n"
        "for i, text in enumerate(sys.argv[2:]):\n"
        "    p = d.add_paragraph()\n"
        "    r = p.add_run(text)\n"
        "    r.bold = (i == 0)\n"
        "d.save(sys.argv[1])\n");
    QProcess python;
    python.start(QStringLiteral(VANTOLI_SYSTEM_PYTHON), QStringList{QStringLiteral("-c"), script, path} + paragraphs);
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return QString::fromUtf8(python.readAllStandardError()) + python.errorString();
    return {};
}

QStringList ImageSources(const QString& html)
{
    QStringList sources;
    static const QRegularExpression re(QStringLiteral("<img[^>]*\\ssrc=\"([^\"]*)\""),
                                       QRegularExpression::CaseInsensitiveOption);
    for (auto it = re.globalMatch(html); it.hasNext();)
        sources << it.next().captured(1);
    return sources;
}

} // namespace officetest
