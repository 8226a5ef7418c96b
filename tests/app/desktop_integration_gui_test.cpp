// Desktop integration: cmake --install puts the program, its menu entry, the
// file types it opens and its icon where Linux desktops look for them, and
// the three agree with each other.
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "test_support/temp_dir.h"

#if defined(NV_BUILD_DIR) && defined(NV_CMAKE)

namespace fs = std::filesystem;

namespace {

// The keys of the [Desktop Entry] group.
std::map<QString, QString> desktopEntry(const fs::path& path)
{
    QFile file(QString::fromStdString(path.string()));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    std::map<QString, QString> keys;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('['))
            inEntry = line == "[Desktop Entry]";
        else if (inEntry && line.contains('='))
            keys[line.section('=', 0, 0)] = line.section('=', 1);
    }
    return keys;
}

// Mime type -> its glob patterns, from a shared-mime-info package.
std::map<QString, QStringList> mimeGlobs(const fs::path& path)
{
    QFile file(QString::fromStdString(path.string()));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::map<QString, QStringList> types;
    QString current;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("mime-type"))
            current = xml.attributes().value("type").toString();
        else if (xml.name() == QLatin1String("glob"))
            types[current] << xml.attributes().value("pattern").toString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return types;
}

}  // namespace

TEST(DesktopIntegration, InstallPutsTheEntryTheFileTypesAndTheIconInPlace)
{
    TempDir prefix;
    QProcess install;
    install.start(QStringLiteral(NV_CMAKE), {"--install", NV_BUILD_DIR, "--prefix",
                                            QString::fromStdString(prefix.path().string()), "--component",
                                            "desktop"});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    const fs::path share = prefix.path() / "share";
    EXPECT_TRUE(fs::exists(prefix.path() / "bin" / "nistviewer"));
    const auto entry = desktopEntry(share / "applications" / "nistviewer.desktop");
    EXPECT_EQ(entry.at("Type"), "Application");
    EXPECT_EQ(entry.at("Exec"), "nistviewer %f");
    EXPECT_EQ(entry.at("Icon"), "nistviewer");
    EXPECT_TRUE(fs::exists(share / "icons" / "hicolor" / "scalable" / "apps" / "nistviewer.svg"));

    // The entry offers exactly the types the package declares, and together
    // they cover the four extensions.
    const auto types = mimeGlobs(share / "mime" / "packages" / "nistviewer.xml");
    QStringList declared, patterns;
    for (const auto& [type, globs] : types) {
        declared << type;
        patterns << globs;
    }
    QStringList offered = entry.at("MimeType").split(';', Qt::SkipEmptyParts);
    offered.sort();
    declared.sort();
    EXPECT_EQ(offered, declared);
    patterns.sort();
    EXPECT_EQ(patterns, (QStringList{"*.an2", "*.eft", "*.nist", "*.wsq"}));

    // shared-mime-info accepts the package: its database then knows the types.
    const QString updater = QStandardPaths::findExecutable("update-mime-database");
    if (updater.isEmpty())
        GTEST_SKIP() << "update-mime-database is not installed";
    QProcess update;
    update.start(updater, {QString::fromStdString((share / "mime").string())});
    ASSERT_TRUE(update.waitForFinished(60000));
    EXPECT_EQ(update.exitCode(), 0) << update.readAllStandardError().toStdString();
    EXPECT_TRUE(fs::exists(share / "mime" / "application" / "x-ansi-nist-itl.xml"));
    EXPECT_TRUE(fs::exists(share / "mime" / "image" / "x-wsq.xml"));
}

#endif
