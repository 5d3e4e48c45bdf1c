#include "client/shell/ClientSettings.h"

namespace ub {
namespace {

struct FieldDef {
    const char* name;
    int32_t CClientSettings::*member;
};

const FieldDef kFields[CClientSettings::kFieldCount] = {
    {"TitleSkip", &CClientSettings::TitleSkip},     {"WarnSkip", &CClientSettings::WarnSkip},
    {"WarnItemSkip", &CClientSettings::WarnItemSkip}, {"AuthSkip", &CClientSettings::AuthSkip},
    {"AuthItemSkip", &CClientSettings::AuthItemSkip}, {"QuarSkip", &CClientSettings::QuarSkip},
    {"AllProcSkip", &CClientSettings::AllProcSkip}, {"ModSkip", &CClientSettings::ModSkip},
    {"ProcSkip", &CClientSettings::ProcSkip},       {"StandSkip", &CClientSettings::StandSkip},
    {"SvrSpeed", &CClientSettings::SvrSpeed},       {"CliSpeed", &CClientSettings::CliSpeed},
    {"WarnSet", &CClientSettings::WarnSet},         {"TreeSort", &CClientSettings::TreeSort},
    {"AutoMin", &CClientSettings::AutoMin},         {"AutoDel", &CClientSettings::AutoDel},
};

}  // namespace

const char* CClientSettings::FieldName(size_t i) { return kFields[i].name; }
int32_t& CClientSettings::Field(size_t i) { return this->*kFields[i].member; }

void CClientSettings::Load(ISettingsRegistry& registry) {
    if (registry.Open() != 0) return;
    for (const FieldDef& f : kFields) registry.QueryDword(f.name, &(this->*f.member));
    registry.Close();
}

long CClientSettings::Save(ISettingsRegistry& registry) const {
    if (long error = registry.Open()) return error;
    for (const FieldDef& f : kFields) registry.SetDword(f.name, this->*f.member);
    return registry.Close();
}

}  // namespace ub
