#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <new>

#include "wavefile/acm_api.h"

namespace zelvaro {

namespace {

// The platform's stream header must stay at one address from preparation to
// unpreparation, so it lives with the stream handle.
struct WinStream {
    HACMSTREAM handle = nullptr;
    ACMSTREAMHEADER header = {};
};

WinStream* toStream(AcmStream s) { return static_cast<WinStream*>(s); }

WAVEFORMATEX* toRecord(const uint8_t* r) { return reinterpret_cast<WAVEFORMATEX*>(const_cast<uint8_t*>(r)); }

void copyIn(ACMSTREAMHEADER& ash, const AcmStreamHeader& h) {
    ash.pbSrc = h.source;
    ash.cbSrcLength = h.sourceLength;
    ash.cbSrcLengthUsed = 0;
    ash.pbDst = h.destination;
    ash.cbDstLength = h.destinationLength;
    ash.cbDstLengthUsed = 0;
}

class PlatformAcm final : public AcmApi {
public:
    int streamOpen(AcmStream& stream, const uint8_t* from, const uint8_t* to, uint32_t flags) override {
        if (flags & kAcmOpenQuery)
            return static_cast<int>(acmStreamOpen(nullptr, nullptr, toRecord(from), toRecord(to), nullptr, 0, 0, flags));
        auto* s = new (std::nothrow) WinStream;
        if (s == nullptr) return MMSYSERR_NOMEM;
        MMRESULT rc = acmStreamOpen(&s->handle, nullptr, toRecord(from), toRecord(to), nullptr, 0, 0, flags);
        if (rc == MMSYSERR_NOERROR && s->handle == nullptr) rc = ACMERR_NOTPOSSIBLE;
        if (rc != MMSYSERR_NOERROR) {
            delete s;
            return static_cast<int>(rc);
        }
        stream = s;
        return kAcmOk;
    }

    int streamSize(AcmStream stream, uint32_t input, uint32_t& output, uint32_t flags) override {
        DWORD out = 0;
        MMRESULT rc = acmStreamSize(toStream(stream)->handle, input, &out, flags);
        output = rc == MMSYSERR_NOERROR ? out : 0;
        return static_cast<int>(rc);
    }

    int streamPrepareHeader(AcmStream stream, AcmStreamHeader& header) override {
        ACMSTREAMHEADER& ash = toStream(stream)->header;
        ash = {};
        ash.cbStruct = sizeof(ACMSTREAMHEADER);
        copyIn(ash, header);
        MMRESULT rc = acmStreamPrepareHeader(toStream(stream)->handle, &ash, 0);
        header.prepared = rc == MMSYSERR_NOERROR && (ash.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) != 0;
        return static_cast<int>(rc);
    }

    int streamConvert(AcmStream stream, AcmStreamHeader& header, uint32_t flags) override {
        ACMSTREAMHEADER& ash = toStream(stream)->header;
        copyIn(ash, header);
        MMRESULT rc = acmStreamConvert(toStream(stream)->handle, &ash, flags);
        header.sourceUsed = ash.cbSrcLengthUsed;
        header.destinationUsed = ash.cbDstLengthUsed;
        return static_cast<int>(rc);
    }

    int streamUnprepareHeader(AcmStream stream, AcmStreamHeader& header) override {
        ACMSTREAMHEADER& ash = toStream(stream)->header;
        copyIn(ash, header);
        MMRESULT rc = acmStreamUnprepareHeader(toStream(stream)->handle, &ash, 0);
        if (rc == MMSYSERR_NOERROR) header.prepared = false;
        return static_cast<int>(rc);
    }

    int streamClose(AcmStream stream) override {
        WinStream* s = toStream(stream);
        MMRESULT rc = acmStreamClose(s->handle, 0);
        delete s;
        return static_cast<int>(rc);
    }

    int formatTagSize(uint16_t tag, uint32_t& size) override {
        ACMFORMATTAGDETAILSA details = {};
        details.cbStruct = sizeof(details);
        details.dwFormatTag = tag;
        MMRESULT rc = acmFormatTagDetailsA(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG);
        size = rc == MMSYSERR_NOERROR ? details.cbFormatSize : 0;
        return static_cast<int>(rc);
    }

    int formatSuggest(const uint8_t* from, uint8_t* to, uint32_t toSize, uint32_t flags) override {
        return static_cast<int>(acmFormatSuggest(nullptr, toRecord(from), toRecord(to), toSize, flags));
    }

    int formatChoose(uint8_t* format, uint32_t size, uint8_t channels, const char* title) override {
        ACMFORMATCHOOSEA choose = {};
        choose.cbStruct = sizeof(choose);
        choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
        choose.hwndOwner = GetActiveWindow();
        choose.pwfx = toRecord(format);
        choose.cbwfx = size;
        choose.pszTitle = title;
        if (channels > 0) {
            // The buffer's channel field, already set, is the template.
            choose.fdwEnum = ACM_FORMATENUMF_NCHANNELS;
            choose.pwfxEnum = toRecord(format);
        }
        return static_cast<int>(acmFormatChooseA(&choose));
    }

    void warn(const char* text, const char* title) override {
        MessageBoxA(GetActiveWindow(), text, title, MB_OK | MB_ICONWARNING);
    }
};

}  // namespace

AcmApi& platformAcm() {
    static PlatformAcm acm;
    return acm;
}

}  // namespace zelvaro
