#include <gtest/gtest.h>

#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include "Models/Kit/Localization.h"
#include "Support/QtTestSupport.h"
#include "Support/TestTree.h"

namespace {
QString read(const QString& path) { return QString::fromStdString(testtree::readFile(path.toStdString())); }

// The keys the English translation gives two forms.
QSet<QString> translatedKeys() {
    QXmlStreamReader xml(read(QStringLiteral(QUELTO_SOURCE_DIR "/resources/translations/quelto_en.ts")));
    QSet<QString> keys;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("source"))
            keys.insert(xml.readElementText());
    return keys;
}
}  // namespace

TEST(CountedTexts, OneReadsInTheSingular) {
    const QSet<QString> keys = translatedKeys();
    ASSERT_FALSE(keys.isEmpty());
    for (const QString& key : keys) {
        SCOPED_TRACE(key.toStdString());
        const QByteArray english = key.toUtf8();
        const auto filled = [&](int n) { return QString(key).replace(QLatin1String("%n"), QString::number(n)); };
        for (const int n : {0, 2}) EXPECT_EQ(counted(english.constData(), n), filled(n));
        const QString one = counted(english.constData(), 1);
        EXPECT_NE(one, filled(1));
        // A text that names no count ("put them back") still takes its singular.
        if (key.contains(QLatin1String("%n"))) EXPECT_TRUE(one.contains(QLatin1String("1"))) << one.toStdString();
    }
    // A count shown abbreviated still takes its own form.
    EXPECT_EQ(counted("%n files", 1, QStringLiteral("1")), "1 file");
    EXPECT_EQ(counted("%n files", 1234, QStringLiteral("1.2k")), "1.2k files");
}

// Every counted text in the sources has its English forms (else one would read "1 items").
TEST(CountedTexts, EveryOneUsedHasItsEnglishForms) {
    const QSet<QString> keys = translatedKeys();
    const QRegularExpression use(QStringLiteral(R"re(counted\(\s*"((?:[^"\\]|\\.)*)")re"));
    int found = 0;
    QDirIterator files(QStringLiteral(QUELTO_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        auto matches = use.globalMatch(read(path));
        while (matches.hasNext()) {
            const QString key = matches.next().captured(1);
            ++found;
            EXPECT_TRUE(keys.contains(key)) << key.toStdString() << " in " << path.toStdString();
        }
    }
    EXPECT_GE(found, 10);
}
