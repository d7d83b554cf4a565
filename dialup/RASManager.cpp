#include "RASManager.h"

#include "TTimer.h"

TRASManager::TRASManager(TComponent* AOwner) : TComponent(AOwner) {
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(1000);
}
TRASManager::~TRASManager() = default;
void TRASManager::Dial() {}
void TRASManager::HangUp() {}
bool TRASManager::Connected() { return false; }
void TRASManager::SetEntryName(const std::string& AEntryName) { FEntryName = AEntryName; }
std::string TRASManager::UserName() { return {}; }
std::string TRASManager::Password() { return {}; }
void TRASManager::SetTimeout(int ATimeout) { FTimeout = ATimeout; }
bool TRASManager::GetDialParams(const std::string&, RASDIALPARAMSA&) { return false; }
void TRASManager::RefreshHandle() {}
void TRASManager::TimerTick(TObject*) {}
void ListPhonebookEntries(std::vector<std::string>& AList) { AList.clear(); }
void ListActiveConnections(std::vector<std::string>& AList) { AList.clear(); }
bool IsEntryConnected(const std::string&) { return false; }
void WINAPI RasDialNotifier(UINT, RASCONNSTATE, DWORD) {}
TRASManager* ActiveDialler() { return nullptr; }
