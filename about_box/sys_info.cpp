#include "about_box/frm_about.h"
#include "resources/version.h"

namespace tintvale {

const char16_t kSysInfoUnavailable[] = u"現時点ではｼｽﾃﾑ情報を使用できません";

// Placeholder until the registry lookup lands: the tool is reported unavailable.
void frmAbout::StartSysInfo() { Sys().Messages().Show(kSysInfoUnavailable, kAppTitle); }

}  // namespace tintvale
