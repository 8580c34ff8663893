#pragma once

#include "app/shell/skins.h"
#include "utillib/delayedsave.h"
#include "utillib/placementstore.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>

// The skin data every window draws from: the active skin's index and colours.
// Skin-change listeners receive it as their sender.
class TSkinData : public QObject {
    Q_OBJECT
public:
    int SkinIndex() const { return FSkinIndex; }
    const TSkin& Skin() const { return TSkins::At(FSkinIndex); }
    const TSkinColors& Colors() const { return Skin().Colors; }

private:
    friend class TDmGlobal;
    int FSkinIndex = 0;
};

// The global resources of the program: skins, the two image lists, the
// window-placement store and the skin-change listeners. Its one instance is
// the first object the program creates and the last it destroys.
class TDmGlobal : public QObject {
    Q_OBJECT
public:
    explicit TDmGlobal(QObject* parent = nullptr);
    // Writes the placement store ("forms.cfg") when it has a file name; a
    // change of a placement is written within a second, too.
    ~TDmGlobal() override;
    Q_DISABLE_COPY_MOVE(TDmGlobal)

    // Index 0 "&Back" .. 13 paste; see the source for the list.
    enum TActionImage {
        iaBack, iaForward, iaReload, iaStop, iaGo, iaNew, iaRemove, iaImport, iaExport,
        iaSiteNode, iaBookmarkNode, iaCopy, iaCut, iaPaste
    };
    enum TToolbarImage { ibSites, ibBookmarks, ibWordEditor, ibSettings, ibGear, ibHelp };
    QIcon ImageListActions16(int index) const;
    QIcon ImageList32(int index) const;

    TSkinData* SkinDataGlobal() { return &FSkinData; }
    static QStringList SkinNames() { return TSkins::Names(); }
    int SkinIndex() const { return FSkinData.FSkinIndex; }
    // Makes the skin active for the whole program (every open window is
    // re-skinned), then calls each listener in registration order.
    void SetSkinIndex(int index);
    bool WindowAnimation() const { return FWindowAnimation; }
    void SetWindowAnimation(bool enabled);
    bool ControlEffects() const { return FControlEffects; }
    void SetControlEffects(bool enabled);

    // A listener is a method of an object, invokable by name (a slot or
    // Q_INVOKABLE) taking (QObject* sender). Entries may repeat.
    void AddSkinChangeEventHandler(QObject* object, const char* method);
    // Removes the first equal entry; nothing when there is none.
    void RemoveSkinChangeEventHandler(QObject* object, const char* method);
    int SkinChangeEventHandlerCount() const { return static_cast<int>(FSkinChangeNotifyEvents.size()); }

    TXmlPlacementStore* AppXMLFileStorage() { return &FAppXMLFileStorage; }

private:
    void ApplySkin();
    void FlushPlacements();

    struct TNotifyEvent {
        QPointer<QObject> Object;
        QByteArray Method;
    };
    TSkinData FSkinData;
    bool FWindowAnimation = true;
    bool FControlEffects = true;
    QList<TNotifyEvent> FSkinChangeNotifyEvents;
    TXmlPlacementStore FAppXMLFileStorage;
    // Declared after the store it writes: a pending write runs before the
    // store goes.
    TDelayedSave FPlacementSave{[this] { FlushPlacements(); }};
    QList<QIcon> FActions16, FImages32;
};

// The one TDmGlobal while it exists, else nullptr.
TDmGlobal* DmGlobal();
