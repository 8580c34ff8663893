#include "app/shell/globaldm.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace {

TDmGlobal* gInstance = nullptr;

QIcon Icon(const char* path)
{
    return QIcon(QString::fromLatin1(path));
}

} // namespace

TDmGlobal* DmGlobal()
{
    return gInstance;
}

TDmGlobal::TDmGlobal(QObject* parent) : QObject(parent)
{
    Q_INIT_RESOURCE(vantoli_resources);
    gInstance = this;
    FActions16 = {
        Icon(":/icons/16/go-previous.png"),   Icon(":/icons/16/go-next.png"),     Icon(":/icons/16/view-refresh.png"),
        Icon(":/icons/16/process-stop.png"),  Icon(":/icons/16/go-jump.png"),     Icon(":/icons/16/document-new.png"),
        Icon(":/icons/16/list-remove.png"),   Icon(":/icons/16/document-open.png"), Icon(":/icons/16/document-save-as.png"),
        Icon(":/icons/32/site-book.png"),     Icon(":/icons/32/red-tag.png"),     Icon(":/icons/16/edit-copy.png"),
        Icon(":/icons/16/edit-cut.png"),      Icon(":/icons/16/edit-paste.png"),
    };
    FImages32 = {
        Icon(":/icons/32/go-home.png"),          Icon(":/icons/32/book-bookmarks.png"), Icon(":/icons/32/x-office-document.png"),
        Icon(":/icons/32/preferences-system.png"), Icon(":/icons/32/emblem-system.png"), Icon(":/icons/32/help-browser.png"),
    };
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        ApplySkin();
    FAppXMLFileStorage.SetOnChanged([this] { FPlacementSave.Schedule(); });
}

TDmGlobal::~TDmGlobal()
{
    if (FPlacementSave.Pending())
        FPlacementSave.Flush();
    else
        FlushPlacements();
    FAppXMLFileStorage.SetOnChanged({});
    if (gInstance == this)
        gInstance = nullptr;
}

void TDmGlobal::FlushPlacements()
{
    if (!FAppXMLFileStorage.FileName().isEmpty())
        FAppXMLFileStorage.Flush();
}

QIcon TDmGlobal::ImageListActions16(int index) const
{
    return index >= 0 && index < FActions16.size() ? FActions16[index] : QIcon();
}

QIcon TDmGlobal::ImageList32(int index) const
{
    return index >= 0 && index < FImages32.size() ? FImages32[index] : QIcon();
}

void TDmGlobal::ApplySkin()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    const TSkin& skin = FSkinData.Skin();
    if (!app->style() || app->style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        app->setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    app->setPalette(skin.Palette());
    app->setStyleSheet(skin.StyleSheet(FControlEffects));
    for (Qt::UIEffect e : {Qt::UI_AnimateMenu, Qt::UI_FadeMenu, Qt::UI_AnimateCombo, Qt::UI_AnimateTooltip,
                           Qt::UI_FadeTooltip, Qt::UI_AnimateToolBox})
        QApplication::setEffectEnabled(e, FWindowAnimation);
}

void TDmGlobal::SetSkinIndex(int index)
{
    FSkinData.FSkinIndex = index;
    ApplySkin();
    // The count is taken first: a listener that registers another one does
    // not make this notification longer.
    const qsizetype count = FSkinChangeNotifyEvents.size();
    for (qsizetype i = 0; i < count && i < FSkinChangeNotifyEvents.size(); ++i) {
        const TNotifyEvent e = FSkinChangeNotifyEvents[i];
        if (e.Object)
            QMetaObject::invokeMethod(e.Object.data(), e.Method.constData(), Qt::DirectConnection,
                                      Q_ARG(QObject*, &FSkinData));
    }
}

void TDmGlobal::SetWindowAnimation(bool enabled)
{
    FWindowAnimation = enabled;
    ApplySkin();
}

void TDmGlobal::SetControlEffects(bool enabled)
{
    FControlEffects = enabled;
    ApplySkin();
}

void TDmGlobal::AddSkinChangeEventHandler(QObject* object, const char* method)
{
    FSkinChangeNotifyEvents.append({object, QByteArray(method)});
}

void TDmGlobal::RemoveSkinChangeEventHandler(QObject* object, const char* method)
{
    for (qsizetype i = 0; i < FSkinChangeNotifyEvents.size(); ++i) {
        const TNotifyEvent& e = FSkinChangeNotifyEvents[i];
        if (e.Object == object && e.Method == method) {
            FSkinChangeNotifyEvents.removeAt(i);
            return;
        }
    }
}
