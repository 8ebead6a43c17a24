// The parameter record's keys and how a processing-mode section is read.
//
// Every key is read as text with the default "-1000" and converted with the
// standard text-to-double conversion, so a missing key gives -1000 and a text
// that is no number gives 0; the stages cope with both. The settings file is
// only read, never written.
#include <cstdlib>
#include <string>

#include <platform/profile_file.h>

#include "stages.h"

namespace toneforge {

using P = _tagIMG_PARAM_IntraOral;

const std::array<ParamKey, kParamCount> kParamKeys = {{
    {"m_ABCGS_cH", &P::m_ABCGS_cH},
    {"m_ABCGS_cL", &P::m_ABCGS_cL},
    {"m_ALCH", &P::m_ALCH},
    {"m_ALCL", &P::m_ALCL},
    {"m_ALS1", &P::m_ALS1},
    {"m_AUMKS", &P::m_AUMKS},
    {"m_AUMTH", &P::m_AUMTH},
    {"m_AUMWH", &P::m_AUMWH},
    {"m_AUMWL", &P::m_AUMWL},
    {"m_CLCX", &P::m_CLCX},
    {"m_CLSL", &P::m_CLSL},
    {"m_CLCY", &P::m_CLCY},
    {"m_CSDSW", &P::m_CSDSW},
    {"m_ERCH", &P::m_ERCH},
    {"m_ERCL", &P::m_ERCL},
    {"m_ERGA", &P::m_ERGA},
    {"m_FFSF_Msize", &P::m_FFSF_Msize},
    {"m_FFSF_sigma", &P::m_FFSF_sigma},
    {"m_FFSF_skip", &P::m_FFSF_skip},
    {"m_FGB_sig", &P::m_FGB_sig},
    {"m_M_expoHi", &P::m_M_expoHi},
    {"m_M_expoLo", &P::m_M_expoLo},
    {"m_m_split", &P::m_m_split},
    {"m_MFGBsig", &P::m_MFGBsig},
    {"m_Test_S1", &P::m_Test_S1},
    {"m_FinalGamma", &P::m_FinalGamma},
    {"m_DummyY", &P::m_DummyY},
}};

void ReadParameters(const char* file, const char* section, _tagIMG_PARAM_IntraOral& param)
{
    platform::ProfileFile profile(file != nullptr ? file : "");
    profile.SetSection(section != nullptr ? section : "");
    for (const ParamKey& entry : kParamKeys) {
        const std::string text = profile.ReadString(entry.key, "-1000");
        param.*entry.field = std::strtod(text.c_str(), nullptr);
    }
}

}  // namespace toneforge
