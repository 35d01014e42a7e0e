// CVst3Delay: the delay effect as a VST3 plug-in instance, one object that
// is at once the component (IComponent, IAudioProcessor, the process
// context requirements) and its edit controller (IEditController, IUnitInfo
// with the factory bank as its program list). getControllerClassId answers
// that there is no separate controller.
//
// Why one object: a host saves the component's state and restores it over
// the parameter values it saved itself (Ardour does). With a separate
// controller a value the host set while its engine was stopped exists only
// in the controller and is lost from the component's saved state; here the
// state a host saves is the controller's values with every change that
// processing made merged in (CVst3EditModel), so that value survives.
//
// Two plug-ins share the class: mono in / stereo out and stereo in /
// stereo out. The effect inside is CHostedEffect (the portable core as the
// renderer runs it, the tempo rule, the bypass cross-fade, the block split
// at the host's events): the same input, values and change frames give the
// renderer's bits.
//
// Threads (the format's rules; docs/architecture.md has the table):
// - UI thread: initialize, terminate, the bus calls, setupProcessing,
//   setActive, setState/getState (a state save may also come from another
//   thread that is not the audio thread), and every controller and unit
//   call, and the editor view's (Vst3Editor.h, Windows). The plug-in never
//   calls the host from inside a call of the host's; the component handler
//   is called for the editor's edits, from the view's timer.
// - Audio thread: process; setProcessing (which does nothing here).
// Locks: m_coreLock (the pointer to the processing side, swapped only by
// setActive while nothing processes; taken by the controller calls that
// read its publication) before CVst3EditModel's lock; m_handlerLock (the
// host's component handler; a reference is taken under it and the host is
// called after it). The audio thread takes none of them, allocates nothing
// and calls only the host objects process lends it.
//
// Real time: setActive(true) allocates the delay memory for the rate
// (CHostedEffect::Prepare; a new rate builds a new effect, carrying the
// values over); process allocates nothing.
#pragma once
#include <travesty/audio_processor.h>
#include <travesty/component.h>
#include <travesty/edit_controller.h>
#include <travesty/unit.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "effect/HostedEffect.h"
#include "vst3/Vst3Com.h"
#include "vst3/Vst3EditModel.h"

class CVst3Delay {
public:
    // inputChannels 1 or 2. Null when memory is short.
    static CVst3Delay* Create(int inputChannels);

    // FUnknown, for every face.
    v3_result QueryInterface(const v3_tuid iid, void** object);
    uint32_t AddRef() { return ++m_refs; }
    uint32_t Release();

    // IPluginBase (the component's and the controller's).
    v3_result Initialize(v3_funknown** context);
    v3_result Terminate();

    // IComponent.
    int32_t BusCount(int32_t mediaType, int32_t direction) const;
    v3_result BusInfo(int32_t mediaType, int32_t direction, int32_t index, v3_bus_info* info) const;
    v3_result ActivateBus(int32_t mediaType, int32_t direction, int32_t index) const;
    v3_result SetActive(bool active);
    v3_result SetState(v3_bstream** stream);
    v3_result GetState(v3_bstream** stream);

    // IAudioProcessor.
    v3_result SetBusArrangements(const v3_speaker_arrangement* inputs, int32_t inputCount,
                                 const v3_speaker_arrangement* outputs, int32_t outputCount);
    v3_result BusArrangement(int32_t direction, int32_t index, v3_speaker_arrangement* arrangement) const;
    v3_result SetupProcessing(const v3_process_setup* setup);
    v3_result Process(v3_process_data* data);

    // IEditController (the values, as CVst3EditModel keeps them).
    double Normalized(uint32_t id);
    v3_result SetNormalized(uint32_t id, double normalized);
    v3_result SetComponentHandler(v3_component_handler** handler);
    // The controller's own state: the host's bypass switch (CVst3EditModel).
    v3_result GetControllerState(v3_bstream** stream);
    v3_result SetControllerState(v3_bstream** stream);
    // IEditController::createView: our editor page (Windows, "editor"
    // views only; CVst3Editor), or null.
    v3_plugin_view** CreateView(const char* name);

    // For the editor view, on the UI thread. The controller's 21 values
    // (what processing changed merged in). An edit of the page's: begin,
    // the value (the controller's value, then the host's perform edit) or
    // end, to the component handler, no lock of ours held while it is
    // called. Processing's effect, for what only it knows (meters, clip
    // lights, its own bypass button): setActive replaces it, on this thread
    // too.
    ParamBlock ControllerBlock();
    void EditFromEditor(EHostNotice notice, int index, int32_t value);
    COfflineEffect& ProcessingEffect();

private:
    explicit CVst3Delay(int inputChannels);
    ~CVst3Delay();
    void SetUpFaces();
    // Takes a restore the controller side left, into the processing side
    // (processing thread, or the UI thread while nothing processes).
    void TakeRestore(CHostedEffect& core);

    zvvst3::CFace<CVst3Delay> m_componentFace;     // also FUnknown, IPluginBase
    zvvst3::CFace<CVst3Delay> m_processorFace;
    zvvst3::CFace<CVst3Delay> m_requirementsFace;
    zvvst3::CFace<CVst3Delay> m_controllerFace;
    zvvst3::CFace<CVst3Delay> m_unitFace;
    std::atomic<uint32_t> m_refs{1};
    const int m_inputChannels;

    // Processing side. m_core changes only in setActive, while nothing
    // processes; m_coreLock keeps the controller's readers off it then.
    std::mutex m_coreLock;
    std::unique_ptr<CHostedEffect> m_core;
    uint32_t m_sampleRate = 48000;
    bool m_active = false;
    bool m_prepared = false;   // m_core has its delay memory
    v3_speaker_arrangement m_inputArrangement;
    v3_speaker_arrangement m_outputArrangement;
    // Audio thread (or UI thread while inactive): what the host knows of
    // each value, and the bypass switch as it stands.
    ParamBlock m_reported = kDefaultBlock;
    bool m_bypass = false;
    std::vector<ParamBlock> m_programs;   // the factory programs' values

    // Controller side.
    CVst3EditModel m_model;
    std::mutex m_handlerLock;
    v3_component_handler** m_handler = nullptr;
};
