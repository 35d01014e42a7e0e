// CTzPlugInPropPage: the plug-in's editor, an OLE property page whose window
// is dialog 106 with the toolkit's controls laid out on the 506 x 381
// background (EditorLayout). It talks to the plug-in only through
// ITzPlugInProp: every edit is an undo snapshot and a setter call with the
// record flag set, and a 75 ms timer brings automation, host tempo, clip
// lights and meters to the screen.
//
// Threads: everything runs on the thread that owns the page window (the
// host's user-interface thread); the plug-in locks inside its own calls, the
// page holds no lock. The plug-in's change notices arrive as posted
// WM_COMMAND messages with id 32700.
//
// Scaling: the page draws at the DPI of its window (WindowDpi.h), or at the
// one a plug-in host prescribes (SetHostDpi: CLAP's set_scale, VST3's
// content scale), from the art drawn for it (SkinSet.h); every rectangle of
// the layout table, the fonts and the controls' own drawing go through
// ScaleToDpi, which changes nothing at 96. A new DPI (the window moved to
// another monitor, or the host's new scale) lays the page out again and
// reloads the art.
//
// Keyboard and screen readers: Tab follows the reading order of the layout
// (the controls' z-order is set to it, so a host's dialog manager agrees);
// the page answers its controls' accessible objects with their names and
// values (kControlAccessibleText).
//
// Modal loops: a command that shows a menu, a dialog or a message box runs
// a message loop in which the host may deactivate, disconnect and release
// the page (a host closing its frame). The page holds a reference on itself
// for the whole command, and the preset store is shared with the command
// that uses it; after each loop the command goes on only while the page
// still has its window and its plug-in.
//
// Files: EditorPage (window, refresh, edits, timer), EditorLayout (the
// control table), PageText (texts and arithmetic), PropertyPageBase,
// SkinSet and WindowDpi (art and DPI).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "editor/PropertyPageBase.h"
#include "effect/ParamTable.h"

struct ITzPlugInProp;
class PresetStore;
class CSkinSet;

class CTzPlugInPropPage : public CBasePropertyPage {
public:
    // The filter's class key, whose registration says where the preset file
    // is, and the file's name.
    static constexpr const char* kPlugInKey = "SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
    static constexpr const char* kPresetFileName = "zvDelayDX.ini";

    static IUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    // Refreshes the controls of one parameter (id of its value box or
    // slider; 0 or 32700 = all) from the plug-in; showText 0 leaves the value
    // boxes' texts; reload asks the plug-in to refresh its parameters first.
    void RefreshControls(int id, int showText, int reload);
    // The page's preset store while its window exists, else null.
    PresetStore* Presets() const { return m_presets.get(); }

    // Opens the help file, as the Help button does.
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;

    // A DPI the host prescribes (96 x its scale, 96 to 288), which the page
    // then keeps whatever its window's DPI; 0 follows the window again.
    // Before the window exists or while it does (the page is laid out again
    // and resized). UI thread.
    void SetHostDpi(int dpi);
    // The page's size in pixels at its DPI (the host's, the window's, or
    // the system's before there is a window).
    SIZE Size() const { return PageSize(); }
    // The folder of the preset file and the help file (a plug-in layer that
    // is not the registered filter; see EmbeddedEditor.h). Without one the
    // presets are found through the filter's registration and the help file
    // beside the module. Before the window exists.
    void SetFileFolder(const char* folder) { m_fileFolder = folder ? folder : ""; }

private:
    explicit CTzPlugInPropPage(IUnknown* outer);
    ~CTzPlugInPropPage() override;

    HRESULT OnConnect(IUnknown* object) override;
    HRESULT OnDisconnect() override;
    // At the page window's DPI, or the system's before there is a window.
    SIZE PageSize() const override;
    INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnInitDialog(HWND window);
    void OnDestroy();
    void CreateControls();
    // Sizes and places a control for the page's DPI and gives it the art.
    void FitControl(const struct ControlRow& row, HWND control);
    void ArrangeTabOrder();
    void PlaceClipLights();
    // A new DPI: the art, the fonts, every control and the page's size.
    void FollowDpi(int dpi);
    void CreateReadoutFont();
    void DeleteReadoutFont();
    int Px(int designPixels) const;
    bool AccessibleText(int id, int what, struct AccessibleText* request);
    void PaintBackground(HDC dc);
    void OnFirstErase();
    void OnTimerTick();
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnSliderChanged(int id, int32_t value);
    void OnSliderDoubleClicked(int id);
    void OnValueBoxStep(int id, int32_t step);
    void OnTypedValue(int id);
    bool ReadTypedValue(int id, EParam param, const char* text, int32_t* value);
    void FormatDataString(char** data);

    // Commands (EditorCommands.cpp).
    void OnButton(int id, WORD code);
    int TrackMenu(HMENU menu, int anchorId);
    void SelectSetup(int32_t setup);
    void SetupMenu();
    void PresetsMenu();
    void ApplyDataString(const char* data);
    void NoteValueMenu(int buttonId);
    void ClearPeakReadout();
    bool ShowHelp();
    // After a modal loop: the page still has its window and its plug-in.
    bool Live() const { return m_window && m_plugIn; }

    void SetSliderRanges();
    // The Link references: all eight taken from the plug-in (at the start,
    // on the Link toggle and after every whole-block change), and the
    // values the page itself last left, to tell changes made elsewhere
    // (automation, host tempo, a reloaded state) from its own.
    void CacheLinkReferences();
    void NoteLinkValues();
    void FollowOutsideLinkChanges();
    void ReadLinkValues(int32_t (&values)[8]);
    void SetFromControl(int id, int32_t value);
    void SetLowFreqBelowHigh(int32_t value);
    void SetHighFreqAboveLow(int32_t value);
    void ApplyTempo();
    void ApplyLinkRatio(int side);
    void ApplyEnableRules();
    void UpdateClipLight(int which);
    void UpdateMeters();

    int32_t Get(EParam param);
    void Set(EParam param, int32_t value);
    HWND Control(int id) const { return GetDlgItem(m_window, id); }

    ITzPlugInProp* m_plugIn = nullptr;
    int m_dpi = 96;
    int m_hostDpi = 0;   // the host's, or 0: the window's
    std::string m_fileFolder;
    bool m_followingDpi = false;   // FollowDpi resizes the page: its WM_SIZE is not a new DPI
    // The art at m_dpi: background picture, palette, pixel images, clip
    // lights; made with the window, replaced when the DPI changes.
    std::unique_ptr<CSkinSet> m_skin;
    // Created with the window; a command running the presets menu or the
    // manager shares it, so that it outlives a teardown during their loops.
    std::shared_ptr<PresetStore> m_presets;
    HFONT m_readoutFont = nullptr;
    bool m_ownsReadoutFont = false;
    int32_t m_firstTick = 1;
    int32_t m_firstErase = 0;
    // Link references: the values both sides had when Link was last taken
    // up, kept by the Link rules.
    int32_t m_refDelayL = 0, m_refDelayR = 0, m_refFeedbkL = 0, m_refFeedbkR = 0;
    int32_t m_refXfeedL = 0, m_refXfeedR = 0, m_refMixL = 0, m_refMixR = 0;
    int32_t m_linkSeen[8] = {};   // in ReadLinkValues' order
};
