#include "acquisition/run_control.h"

namespace tessvar {

struct CRunControl::Impl {};

CRunControl::CRunControl(RunContext context)
    : ctx_(std::move(context)), impl_(std::make_unique<Impl>()) {}
CRunControl::~CRunControl() = default;

void CRunControl::OnStart() {}
void CRunControl::OnStop() {}
void CRunControl::OnTimer(int) {}
void CRunControl::OnDestroy() {}
void CRunControl::OnResetFailures() {}
void CRunControl::OnDisplayMode() {}
void CRunControl::RefreshValues() {}

}  // namespace tessvar
