// What a site's page and answers give the repository upload: numbers in any
// form a page holds them, picker values, upload answers of any shape.
// Several cases are inputs a fuzzer found.
#include "app/uploaders/moodlerepouploaders.h"

#include <QVariantMap>
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

TEST(MoodleRepoValues, PageNumbersOutOfRangeAreErrorsNotGuesses)
{
    const struct {
        const char* what;
        QVariant value;
        bool ok;
        qint64 want;
    } cases[] = {
        {"integer", QVariant(qint64(123456789)), true, 123456789},
        {"double with an integer value", QVariant(1048576.0), true, 1048576},
        {"double rounded", QVariant(2.5), true, 3},
        {"negative double", QVariant(-1.0), true, -1},
        {"digits", QVariant(QStringLiteral(" 00414486992 ")), true, 414486992},
        {"largest double taken", QVariant(9.2e18), true, qint64(9.2e18)},
        // Found by the fuzzer: the double was rounded before its range was checked.
        {"1e300", QVariant(1e300), false, 0},
        {"-1e300", QVariant(-1e300), false, 0},
        {"infinity", QVariant(std::numeric_limits<double>::infinity()), false, 0},
        {"not a number", QVariant(std::numeric_limits<double>::quiet_NaN()), false, 0},
        {"digits and letters", QVariant(QStringLiteral("12x")), false, 0},
        {"digits beyond 64 bits", QVariant(QStringLiteral("99999999999999999999")), false, 0},
        {"nothing", QVariant(), false, 0},
        {"an object", QVariant(QVariantMap{{QStringLiteral("id"), 1}}), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.ok)
            EXPECT_EQ(TMoodleRepoUtil::ReadInt64(c.value), c.want);
        else
            EXPECT_THROW(TMoodleRepoUtil::ReadInt64(c.value), EConvertError);
    }
}

TEST(MoodleRepoValues, PickerValuesComeFromTheScriptsAnswer)
{
    const QVariantMap answer{{QStringLiteral("family"), 2},       {QStringLiteral("missing"), QVariantList{}},
                             {QStringLiteral("sesskey"), "sk1"},  {QStringLiteral("repo_id"), 4.0},
                             {QStringLiteral("env"), "editor"},   {QStringLiteral("client_id"), "c1"},
                             {QStringLiteral("itemid"), "987"},   {QStringLiteral("maxbytes"), -1.0},
                             {QStringLiteral("ctx_id"), 21.0}};
    EXPECT_EQ(TMoodleRepoUtil::BuildUploadParams(TMoodleRepoUtil::ReadPickerValues(answer, QStringLiteral("Atto editor id_a"))),
              (QStringList{"sesskey=sk1", "repo_id=4", "env=editor", "client_id=c1", "itemid=987", "maxbytes=-1",
                           "ctx_id=21", "savepath=/", "license=allrightsreserved", "accepted_types[]=*"}));

    QVariantMap missing = answer;
    missing[QStringLiteral("missing")] = QVariantList{"itemid", "context.id"};
    try {
        TMoodleRepoUtil::ReadPickerValues(missing, QStringLiteral("Atto editor id_a"));
        ADD_FAILURE() << "missing values must raise";
    } catch (const EFileUploaderException& e) {
        EXPECT_EQ(e.Message(), "The page does not give the itemid, context.id of the Atto editor id_a; nothing was uploaded");
    }

    QVariantMap huge = answer;
    huge[QStringLiteral("maxbytes")] = 1e300;
    EXPECT_THROW(TMoodleRepoUtil::BuildUploadParams(TMoodleRepoUtil::ReadPickerValues(huge, QString())), EConvertError);
}

TEST(MoodleRepoValues, DeeplyNestedAnswersAreIllegalNotAStackOverflow)
{
    auto nested = [](int depth, const char* inner) {
        return QString::fromLatin1(QByteArray("{\"url\":") + QByteArray(depth, '[') + inner + QByteArray(depth, ']') + "}");
    };
    const QString brackets(100000, QLatin1Char('['));
    const struct {
        const char* what;
        QString answer;
        QString url; // empty: "Response illegal"
    } cases[] = {
        {"shallow value", nested(2, "1"), QStringLiteral("[[1]]")},
        {"brackets inside a string do not count", QStringLiteral("{\"url\":\"%1\"}").arg(brackets), brackets},
        // Found by the fuzzer: turning the member into text recursed once per level.
        {"value nested 200000 deep", nested(200000, ""), QString()},
        {"nesting that never closes", QString::fromLatin1(QByteArray("{\"url\":") + QByteArray(300000, '{')), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const QString url = TMoodleRepoUtil::ReadUploadAnswer(c.answer, QStringLiteral("url"), QStringLiteral("error"));
            EXPECT_EQ(url, c.url);
        } catch (const EFileUploaderException& e) {
            EXPECT_TRUE(c.url.isEmpty()) << e.what();
            EXPECT_EQ(e.Message(), "Response illegal, something must be wrong");
        }
    }
}
