#include "SameText.h"

namespace {

char Lower(char AByte) {
  return AByte >= 'A' && AByte <= 'Z' ? static_cast<char>(AByte - 'A' + 'a') : AByte;
}

}  // namespace

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (Lower(A[I]) != Lower(B[I])) return false;
  return true;
}
