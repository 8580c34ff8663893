// Loads and saves a large configuration (2,000 sites x 20 bookmarks) through
// the "xml" storage, and measures a bare pugixml parse plus a walk over every
// node of the same file as the baseline. Last line: ratio <ours/baseline>.
#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "utillib/objstorages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <pugixml.hpp>
#include <vector>

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

size_t Walk(pugi::xml_node node)
{
    // Touch every name and text, as a loader must.
    size_t n = 0;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        n += std::strlen(c.name()) + std::strlen(c.value());
        n += Walk(c);
    }
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TVantoliConfigPersistent::RegisterSaveLoader();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("vantoli.cfg"));

    auto config = NewConfig<TAppConfig>();
    TMoodleSysConfigPresets* sites = config->MoodleSysConfigPresets();
    for (int i = 0; i < 2000; ++i) {
        TConfigPreset* p = sites->Add();
        p->SetTitle(QStringLiteral("Site number %1").arg(i));
        auto* s = static_cast<TMoodleSysConfig*>(p->Config());
        s->SetRootUrl(QStringLiteral("https://moodle%1.example.org").arg(i));
        s->SetAccountName(QStringLiteral("teacher%1").arg(i));
        s->SetAccountPassword(QStringLiteral("secret & <pass> %1").arg(i));
        s->SetAutoLogin(i % 2 == 0);
        for (int b = 0; b < 20; ++b)
            s->Bookmarks()->AddBookmark(QStringLiteral("Course %1 of site %2").arg(b).arg(i),
                                        QStringLiteral("https://moodle%1.example.org/course/view.php?id=%2").arg(i).arg(b));
    }

    const int runs = 5;
    std::vector<double> saves, loads, bases;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        config->SaveToFile(file, QStringLiteral("xml"));
        saves.push_back(t.nsecsElapsed() / 1e6);

        auto loaded = NewConfig<TAppConfig>();
        t.restart();
        loaded->LoadFromFile(file, QStringLiteral("xml"));
        loads.push_back(t.nsecsElapsed() / 1e6);
        if (loaded->MoodleSysConfigPresets()->Count() != 2000
            || loaded->MoodleSysConfigPresets()->SiteConfig(1999)->Bookmarks()->Count() != 20) {
            std::fprintf(stderr, "load lost data\n");
            return 1;
        }

        t.restart();
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        pugi::xml_document doc;
        doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()));
        volatile size_t touched = Walk(doc);
        (void)touched;
        bases.push_back(t.nsecsElapsed() / 1e6);
    }

    const double load = Median(loads), save = Median(saves), base = Median(bases);
    std::printf("file size: %lld bytes, 2000 sites x 20 bookmarks, median of %d runs\n",
                static_cast<long long>(QFile(file).size()), runs);
    std::printf("ours load: %.1f ms\n", load);
    std::printf("ours save: %.1f ms\n", save);
    std::printf("baseline pugixml parse + walk: %.1f ms\n", base);
    std::printf("ratio %.2f\n", load / base);
    return 0;
}
