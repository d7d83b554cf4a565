#include "CPRasMonitor.h"

#include "Exception.h"
#include "TTimer.h"

TRasMonitor::TRasMonitor(TComponent* AOwner) : TComponent(AOwner) { FPollTimer = new TTimer(this); }
TRasMonitor::~TRasMonitor() = default;
void TRasMonitor::Loaded() { TComponent::Loaded(); }
void TRasMonitor::SetEnabled(bool) {
  throw Exception("RASAPI Not Loaded, unable to access RAS Functions");
}
void TRasMonitor::PollConnections(TObject*) {}
std::string StateText(RASCONNSTATE, DWORD) { return {}; }
