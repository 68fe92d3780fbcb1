// Device lists and mixer volumes against a scripted mixer, with real combo boxes.
#include "audio/output_devices.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace zelvaro {
namespace {

struct FakeControl {
    FakeControl(DWORD controlId, DWORD controlType, DWORD itemCount = 0,
                std::vector<DWORD> lineIds = {})
        : id(controlId), type(controlType), items(itemCount), itemLineIds(std::move(lineIds)) {}

    DWORD id;
    DWORD type;
    DWORD items;                     // cMultipleItems
    std::vector<DWORD> itemLineIds;  // dwParam1 of each list text
    std::vector<DWORD> values;       // last values set (one, or one per item)
    int sets = 0;
};

struct FakeLine {
    DWORD lineId;
    DWORD componentType;
    std::string name;
    std::vector<FakeControl> controls;
};

struct FakeDestination {
    FakeLine line;
    std::vector<FakeLine> sources;
    DWORD extraConnections = 0;  // connections beyond the readable sources
};

// One mixer (index 0 or 1) per device kind; each destination may list source lines.
class FakeMixer : public MixerApi {
public:
    std::vector<std::string> outNames;  // "?" cannot be queried
    std::vector<std::string> inNames;
    std::map<UINT, UINT> outMixer;      // device -> mixer; missing = mapping fails
    std::map<UINT, UINT> inMixer;
    std::map<UINT, std::vector<FakeDestination>> mixers;
    int setCalls = 0;

    UINT waveOutDeviceCount() override { return static_cast<UINT>(outNames.size()); }
    bool waveOutDeviceName(UINT device, char* name) override { return nameOf(outNames, device, name); }
    UINT waveInDeviceCount() override { return static_cast<UINT>(inNames.size()); }
    bool waveInDeviceName(UINT device, char* name) override { return nameOf(inNames, device, name); }

    MMRESULT getId(UINT device, UINT* mixer, DWORD objectFlag) override {
        const std::map<UINT, UINT>& map = objectFlag == MIXER_OBJECTF_WAVEIN ? inMixer : outMixer;
        const auto it = map.find(device);
        if (it == map.end())
            return MMSYSERR_NODRIVER;
        *mixer = it->second;
        return MMSYSERR_NOERROR;
    }

    MMRESULT getLineInfo(UINT mixer, MIXERLINEA* line, DWORD flags) override {
        auto& destinations = mixers[mixer];
        for (DWORD d = 0; d < destinations.size(); ++d) {
            FakeDestination& destination = destinations[d];
            if (flags == MIXER_GETLINEINFOF_COMPONENTTYPE) {
                if (destination.line.componentType == line->dwComponentType) {
                    fill(line, destination.line, d, 0,
                         static_cast<DWORD>(destination.sources.size()) + destination.extraConnections);
                    return MMSYSERR_NOERROR;
                }
                for (DWORD s = 0; s < destination.sources.size(); ++s)
                    if (destination.sources[s].componentType == line->dwComponentType) {
                        fill(line, destination.sources[s], d, s, 0);
                        return MMSYSERR_NOERROR;
                    }
            } else if (flags == MIXER_GETLINEINFOF_SOURCE && line->dwDestination == d) {
                if (line->dwSource >= destination.sources.size())
                    return MIXERR_INVALLINE;
                fill(line, destination.sources[line->dwSource], d, line->dwSource, 0);
                return MMSYSERR_NOERROR;
            }
        }
        return MIXERR_INVALLINE;
    }

    MMRESULT getLineControls(UINT mixer, MIXERLINECONTROLSA* request, DWORD flags) override {
        if (flags != MIXER_GETLINECONTROLSF_ALL || request->cbmxctrl != sizeof(MIXERCONTROLA))
            return MMSYSERR_INVALPARAM;
        FakeLine* line = lineById(mixer, request->dwLineID);
        if (line == nullptr || request->cControls != line->controls.size())
            return MIXERR_INVALLINE;
        for (size_t i = 0; i < line->controls.size(); ++i) {
            MIXERCONTROLA& out = request->pamxctrl[i];
            out.dwControlID = line->controls[i].id;
            out.dwControlType = line->controls[i].type;
            out.cMultipleItems = line->controls[i].items;
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT getControlDetails(UINT mixer, MIXERCONTROLDETAILS* details, DWORD flags) override {
        FakeControl* control = controlById(mixer, details->dwControlID);
        if (control == nullptr || flags != MIXER_GETCONTROLDETAILSF_LISTTEXT ||
            details->cMultipleItems != control->items ||
            details->cbDetails != sizeof(MIXERCONTROLDETAILS_LISTTEXTA))
            return MMSYSERR_INVALPARAM;
        auto* texts = static_cast<MIXERCONTROLDETAILS_LISTTEXTA*>(details->paDetails);
        for (DWORD i = 0; i < control->items; ++i)
            texts[i].dwParam1 = control->itemLineIds[i];
        return MMSYSERR_NOERROR;
    }

    MMRESULT setControlDetails(UINT mixer, MIXERCONTROLDETAILS* details, DWORD flags) override {
        ++setCalls;
        FakeControl* control = controlById(mixer, details->dwControlID);
        if (control == nullptr || flags != MIXER_SETCONTROLDETAILSF_VALUE || details->cChannels != 1 ||
            details->cMultipleItems != control->items)
            return MMSYSERR_INVALPARAM;
        const DWORD count = control->items ? control->items : 1;
        const DWORD* values = static_cast<const DWORD*>(details->paDetails);
        control->values.assign(values, values + count);
        ++control->sets;
        return MMSYSERR_NOERROR;
    }

    FakeControl* controlById(UINT mixer, DWORD id) {
        for (FakeDestination& destination : mixers[mixer]) {
            for (FakeControl& c : destination.line.controls)
                if (c.id == id)
                    return &c;
            for (FakeLine& source : destination.sources)
                for (FakeControl& c : source.controls)
                    if (c.id == id)
                        return &c;
        }
        return nullptr;
    }
    // The last value set, or -1 for a control never set.
    long long value(UINT mixer, DWORD id) {
        FakeControl* c = controlById(mixer, id);
        return c == nullptr || c->sets == 0 ? -1 : static_cast<long long>(c->values[0]);
    }

private:
    static bool nameOf(const std::vector<std::string>& names, UINT device, char* name) {
        if (device >= names.size() || names[device] == "?")
            return false;
        std::strcpy(name, names[device].c_str());
        return true;
    }
    static void fill(MIXERLINEA* out, const FakeLine& line, DWORD destination, DWORD source,
                     DWORD connections) {
        out->dwDestination = destination;
        out->dwSource = source;
        out->dwLineID = line.lineId;
        out->dwComponentType = line.componentType;
        out->cConnections = connections;
        out->cControls = static_cast<DWORD>(line.controls.size());
        std::strncpy(out->szName, line.name.c_str(), MIXER_LONG_NAME_CHARS - 1);
    }
    FakeLine* lineById(UINT mixer, DWORD id) {
        for (FakeDestination& destination : mixers[mixer]) {
            if (destination.line.lineId == id)
                return &destination.line;
            for (FakeLine& source : destination.sources)
                if (source.lineId == id)
                    return &source;
        }
        return nullptr;
    }
};

// Control ids: speakers 1xx, wave output 2xx, recording destination 3xx,
// recording sources 4xx + 10 x line.
constexpr DWORD kSpeakerVolume = 101, kSpeakerMute = 102, kSpeakerOnOff = 103;
constexpr DWORD kWaveVolume = 201, kWaveMute = 202, kWaveOnOff = 203, kWaveFader = 204;

FakeMixer playbackMixer(UINT mixer) {
    FakeMixer api;
    api.outNames = {"Speakers A"};
    api.outMixer[0] = mixer;
    FakeDestination speakers;
    speakers.line = {0x10, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Master",
                     {{kSpeakerVolume, MIXERCONTROL_CONTROLTYPE_VOLUME},
                      {kSpeakerMute, MIXERCONTROL_CONTROLTYPE_MUTE},
                      {kSpeakerOnOff, MIXERCONTROL_CONTROLTYPE_ONOFF}}};
    speakers.sources.push_back({0x20, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, "Wave",
                                {{kWaveVolume, MIXERCONTROL_CONTROLTYPE_VOLUME},
                                 {kWaveMute, MIXERCONTROL_CONTROLTYPE_MUTE},
                                 {kWaveOnOff, MIXERCONTROL_CONTROLTYPE_ONOFF},
                                 {kWaveFader, MIXERCONTROL_CONTROLTYPE_FADER}}});
    speakers.sources.push_back({0x21, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD",
                                {{205, MIXERCONTROL_CONTROLTYPE_VOLUME}}});
    api.mixers[mixer].push_back(speakers);
    return api;
}

TEST(MixerVolumeValue, FourteenTwentyFourStepsPerDecibelAbove36Down) {
    struct Row {
        int db;
        uint32_t value;
    };
    const Row rows[] = {{-127, 0},     {-36, 0},      {-35, 1424},   {-20, 22784},  {-10, 37024},
                        {0, 51264},    {6, 59808},    {10, 65504},   {11, 65535},   {127, 65535}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.db);
        EXPECT_EQ(mixerVolumeValue(static_cast<DbValue>(row.db)), row.value);
    }
}

TEST(SetPlayVolume, SetsSpeakerAndWaveOutputAndUnmutesBoth) {
    struct Row {
        int volume;
        int offset;
        long long speaker;
        long long wave;
    };
    const Row rows[] = {
        {0, 0, 51264, 51264},
        {-127, 0, 0, 0},
        {20, 0, 65535, 65535},
        {-30, -10, 8544, 0},
        {-30, 10, 8544, 22784},
        {120, 20, 65535, 65535},  // volume + offset held at 127, not wrapped to a negative
        {-120, -20, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.volume) + " + " + std::to_string(row.offset));
        FakeMixer api = playbackMixer(1);
        setPlayVolume(0, static_cast<DbValue>(row.volume), static_cast<DbValue>(row.offset), api);
        EXPECT_EQ(api.value(1, kSpeakerVolume), row.speaker);
        EXPECT_EQ(api.value(1, kSpeakerMute), 0);
        EXPECT_EQ(api.value(1, kSpeakerOnOff), -1);  // the speaker part leaves on/off alone
        EXPECT_EQ(api.value(1, kWaveVolume), row.wave);
        EXPECT_EQ(api.value(1, kWaveFader), row.wave);
        EXPECT_EQ(api.value(1, kWaveMute), 0);
        EXPECT_EQ(api.value(1, kWaveOnOff), 1);
        EXPECT_EQ(api.value(1, 205), -1);  // other lines untouched
    }
}

TEST(SetPlayVolume, TheMapperIndexChangesNothing) {
    FakeMixer api = playbackMixer(0);
    setPlayVolume(-1, 0, 0, api);
    EXPECT_EQ(api.setCalls, 0);
}

TEST(SetPlayVolume, ADeviceWithoutAMixerUsesMixerZero) {
    FakeMixer api = playbackMixer(0);
    api.outMixer.clear();
    setPlayVolume(0, 0, 0, api);
    EXPECT_EQ(api.value(0, kSpeakerVolume), 51264);
    EXPECT_EQ(api.value(0, kWaveVolume), 51264);
}

TEST(SetPlayVolume, AMissingSpeakerLineStillSetsTheWaveOutput) {
    FakeMixer api = playbackMixer(0);
    // Another destination type: no speaker line, but the wave source is still found.
    api.mixers[0][0].line.componentType = MIXERLINE_COMPONENTTYPE_DST_HEADPHONES;
    setPlayVolume(0, -10, 0, api);
    EXPECT_EQ(api.value(0, kSpeakerVolume), -1);
    EXPECT_EQ(api.value(0, kWaveVolume), 37024);
}

// A hidden window with two combo boxes, ids 101 and 102.
class ComboFixture : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        if (parent == nullptr)
            GTEST_SKIP() << "no window station for combo boxes";
        for (int id : {101, 102})
            CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 200, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override {
        if (parent != nullptr)
            DestroyWindow(parent);
    }
    std::vector<std::string> entries(int id) {
        std::vector<std::string> out;
        const LRESULT count = SendDlgItemMessageA(parent, id, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[256] = {};
            SendDlgItemMessageA(parent, id, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(text));
            out.push_back(text);
        }
        return out;
    }
    LRESULT selection(int id) { return SendDlgItemMessageA(parent, id, CB_GETCURSEL, 0, 0); }

    HWND parent = nullptr;
};

TEST_F(ComboFixture, EveryPlayDeviceGetsAnEntryAtItsIndex) {
    FakeMixer api;
    api.outNames = {"First", "?", "Third"};
    fillPlayDeviceList(parent, 101, 2, api);
    EXPECT_EQ(entries(101), (std::vector<std::string>{"First", "", "Third"}));
    EXPECT_EQ(selection(101), 2);
    fillPlayDeviceList(parent, 101, -1, api);
    EXPECT_EQ(entries(101).size(), 3u);
    EXPECT_EQ(selection(101), CB_ERR);
}

TEST_F(ComboFixture, AtMost127DevicesAreListed) {
    FakeMixer api;
    api.outNames.assign(130, "Device");
    fillPlayDeviceList(parent, 101, 0, api);
    EXPECT_EQ(entries(101).size(), 127u);
}

FakeMixer recordingMixer() {
    FakeMixer api;
    api.inNames = {"Line In Card", "Other"};
    api.inMixer[0] = 0;
    FakeDestination wavein;
    // The multiplexer lists its items in another order than the source lines.
    FakeControl mux{301, MIXERCONTROL_CONTROLTYPE_MUX, 3, {0x52, 0x50, 0x51}};
    FakeControl mixer{302, MIXERCONTROL_CONTROLTYPE_MIXER, 3, {0x50, 0x51, 0x52}};
    wavein.line = {0x40, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "Recording",
                   {{300, MIXERCONTROL_CONTROLTYPE_VOLUME}, mux, mixer,
                    {303, MIXERCONTROL_CONTROLTYPE_MUTE}}};
    const char* names[] = {"Microphone", "Line In", "CD Audio"};
    for (DWORD i = 0; i < 3; ++i)
        wavein.sources.push_back({0x50 + i, MIXERLINE_COMPONENTTYPE_SRC_LINE, names[i],
                                  {{400 + 10 * i, MIXERCONTROL_CONTROLTYPE_VOLUME},
                                   {401 + 10 * i, MIXERCONTROL_CONTROLTYPE_MUTE},
                                   {402 + 10 * i, MIXERCONTROL_CONTROLTYPE_ONOFF}}});
    api.mixers[0].push_back(wavein);
    return api;
}

TEST(RecordLines, CountsAndNames) {
    FakeMixer api = recordingMixer();
    char name[kLineNameSize];
    EXPECT_EQ(recordLineCount(0, api), 3);
    EXPECT_EQ(recordLineCount(-1, api), 0);
    EXPECT_EQ(recordLineCount(1, api), 0);  // no mixer for device 1
    recordLineName(0, 1, name, api);
    EXPECT_STREQ(name, "Line In");
    recordLineName(5, -1, name, api);
    EXPECT_STREQ(name, "Windows Record Mixer");
    recordLineName(0, 3, name, api);
    EXPECT_STREQ(name, "");
    api.mixers[0][0].extraConnections = 200;
    EXPECT_EQ(recordLineCount(0, api), 127);

    FakeMixer play = playbackMixer(0);
    EXPECT_EQ(playLineCount(0, play), 2);
    playLineName(0, 1, name, play);
    EXPECT_STREQ(name, "CD");
    playLineName(0, -1, name, play);
    EXPECT_STREQ(name, "");
}

TEST_F(ComboFixture, TheRecordInputListBeginsWithTheRecordMixer) {
    FakeMixer api = recordingMixer();
    fillRecordDeviceList(parent, 101, 102, RecordChoice{0, 1}, api);
    EXPECT_EQ(entries(101), (std::vector<std::string>{"Line In Card", "Other"}));
    EXPECT_EQ(selection(101), 0);
    EXPECT_EQ(entries(102),
              (std::vector<std::string>{"Windows Record Mixer", "Microphone", "Line In", "CD Audio"}));
    EXPECT_EQ(selection(102), 2);
    fillRecordDeviceList(parent, 101, 102, RecordChoice{0, -1}, api);
    EXPECT_EQ(selection(102), 0);
    // A device without inputs keeps only the record mixer entry.
    SendDlgItemMessageA(parent, 101, CB_SETCURSEL, 1, 0);
    fillRecordInputList(parent, 101, 102, api);
    EXPECT_EQ(entries(102), (std::vector<std::string>{"Windows Record Mixer"}));
    EXPECT_EQ(selection(102), 0);
}

TEST(SelectRecordInput, RecordsFromOneLineAndSilencesTheOthers) {
    FakeMixer api = recordingMixer();
    selectRecordInput(0, 2, -10, api);
    EXPECT_EQ(api.value(0, 300), 37024);
    EXPECT_EQ(api.value(0, 303), 0);
    // Line 2 has id 0x52, the multiplexer's first item.
    EXPECT_EQ(api.controlById(0, 301)->values, (std::vector<DWORD>{1, 0, 0}));
    EXPECT_EQ(api.controlById(0, 302)->values, (std::vector<DWORD>{1, 1, 1}));
    for (DWORD line = 0; line < 3; ++line) {
        SCOPED_TRACE(line);
        const bool chosen = line == 2;
        EXPECT_EQ(api.value(0, 400 + 10 * line), chosen ? 37024 : 0);
        EXPECT_EQ(api.value(0, 401 + 10 * line), chosen ? 0 : 1);
        EXPECT_EQ(api.value(0, 402 + 10 * line), chosen ? 1 : 0);
    }
}

TEST(SelectRecordInput, WithoutAMatchingItemTheItemNumberedLikeTheLineIsTaken) {
    FakeMixer api = recordingMixer();
    api.controlById(0, 301)->itemLineIds = {7, 8, 9};
    selectRecordInput(0, 1, 0, api);
    EXPECT_EQ(api.controlById(0, 301)->values, (std::vector<DWORD>{0, 1, 0}));
}

TEST(SelectRecordInput, NegativeIndexesOrAMissingMixerChangeNothing) {
    FakeMixer api = recordingMixer();
    selectRecordInput(-1, 0, 0, api);
    selectRecordInput(0, -1, 0, api);
    selectRecordInput(1, 0, 0, api);
    EXPECT_EQ(api.setCalls, 0);
}

TEST(SetPlayLineVolume, SetsOneSourceLineOfTheSpeakers) {
    FakeMixer api = playbackMixer(0);
    setPlayLineVolume(0, 1, 6, api);
    EXPECT_EQ(api.value(0, 205), 59808);
    EXPECT_EQ(api.value(0, kWaveVolume), -1);
    setPlayLineVolume(0, 2, 6, api);  // past the connection count
    setPlayLineVolume(-1, 0, 6, api);
    EXPECT_EQ(api.value(0, kWaveVolume), -1);
    setPlayLineVolume(0, 0, -127, api);
    EXPECT_EQ(api.value(0, kWaveVolume), 0);
    EXPECT_EQ(api.value(0, kWaveOnOff), 1);
}

}  // namespace
}  // namespace zelvaro
