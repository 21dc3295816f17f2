#include "mainwindow/fMain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QString ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every help context the windows name in their code: the constants called
// Help... or HelpContext in the headers of the source tree.
QSet<int> ContextsInTheCode()
{
    QSet<int> contexts;
    const QRegularExpression constant(QStringLiteral(R"(constexpr\s+int\s+Help\w*\s*=\s*(\d+)\s*;)"));
    QDirIterator it(QStringLiteral(TESSARYN_SOURCE_DIR "/src"), {QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString text = ReadAll(it.next());
        for (const QRegularExpressionMatch& m : constant.globalMatch(text))
            contexts.insert(m.captured(1).toInt());
    }
    return contexts;
}

TEST(HelpPages, EveryContextTheWindowsUseHasAPageBesideTheProgram)
{
    const QSet<int> contexts = ContextsInTheCode();
    // the windows that exist today name at least these
    for (int known : {1, 4, 7, 18, 48, 62, 1000})
        EXPECT_TRUE(contexts.contains(known)) << known;
    for (int context : contexts) {
        const QString page = TfrmTessarynMain::HelpPage(context);
        const QString text = ReadAll(page);
        ASSERT_FALSE(text.isEmpty()) << page.toStdString();
        EXPECT_TRUE(text.startsWith(QStringLiteral("<!DOCTYPE html>"))) << context;
        EXPECT_TRUE(text.contains(QStringLiteral("<meta charset=\"utf-8\">"))) << context;
        EXPECT_TRUE(text.contains(QStringLiteral("<h1>"))) << context;
    }
}

TEST(HelpPages, LinksBetweenPagesLeadToPagesThatExist)
{
    const QDir folder(QFileInfo(TfrmTessarynMain::HelpPage(1000)).path());
    const QStringList pages = folder.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_FALSE(pages.isEmpty());
    const QRegularExpression link(QStringLiteral(R"(href="([^"#]+)(#[^"]*)?")"));
    for (const QString& page : pages) {
        const QString text = ReadAll(folder.filePath(page));
        for (const QRegularExpressionMatch& m : link.globalMatch(text))
            EXPECT_TRUE(folder.exists(m.captured(1))) << page.toStdString() << " -> " << m.captured(1).toStdString();
    }
}

} // namespace
