#pragma once

// Calls of our dial-up library beyond the platform's own, for the
// command-line tool and the tests. Programs that must also run against the
// real service do not link them; they look DravikRasProviderInfo up at run
// time and do without it where the library lacks it.

#include "Ras.h"

extern "C" {

// Writes the name of the provider in use into AText (NUL-terminated, cut to
// ASize bytes) and returns 0; when no provider is usable, writes why and
// returns ERROR_RASMAN_CANNOT_INITIALIZE.
DRAVIK_EXPORT DWORD WINAPI DravikRasProviderInfo(LPSTR AText, DWORD ASize);

// How the provider in use was chosen: writes 1 (named by the environment
// variable DRAVIK_RAS_PROVIDER or by ras.conf), 2 (detected) or 3 (the
// simulated service, as no real service was found) to *AHow, and what named
// it, or for 3 what was looked for, into AText (NUL-terminated, cut to ASize
// bytes); returns 0.
DRAVIK_EXPORT DWORD WINAPI DravikRasProviderChoice(LPDWORD AHow, LPSTR AText, DWORD ASize);

// Writes what the person who runs the entry should know about it into AText
// (NUL-terminated, cut to ASize bytes; empty when nothing) and returns 0.
DRAVIK_EXPORT DWORD WINAPI DravikRasEntryWarning(LPCSTR AEntryName, LPSTR AText, DWORD ASize);

// Writes what the person who runs the line can do about the error code
// AError (such as the permission a refused request needs) into AText
// (NUL-terminated, cut to ASize bytes; empty when nothing) and returns 0.
DRAVIK_EXPORT DWORD WINAPI DravikRasErrorAdvice(DWORD AError, LPSTR AText, DWORD ASize);

// Writes what the provider has to say about the calling thread's last call
// into AText (NUL-terminated, cut to ASize bytes): why it failed, or why a
// listing came out empty, naming the file concerned; empty when nothing.
// Returns 0.
DRAVIK_EXPORT DWORD WINAPI DravikRasLastRemark(LPSTR AText, DWORD ASize);

// The IPv6 facts of a connected line, beside the IPv4 projection that
// RasGetProjectionInfoA gives: writes the line's global IPv6 address into
// AAddress and its IPv6 prefix (ADDRESS/LENGTH: the prefix delegated to the
// line where the provider learns one, else the on-link prefix of the
// address) into APrefix, each NUL-terminated and empty when the line has
// none or the provider does not know it, and returns 0. Each buffer must
// hold DRAVIK_RAS_IPV6_TEXT bytes, else ERROR_BUFFER_TOO_SMALL. Fails as
// RasGetProjectionInfoA does for a connection not listed (ERROR_INVALID_HANDLE)
// or not yet connected (ERROR_PROJECTION_NOT_COMPLETE), and with
// ERROR_NOT_SUPPORTED when the provider cannot tell.
#define DRAVIK_RAS_IPV6_TEXT 50
DRAVIK_EXPORT DWORD WINAPI DravikRasIpv6Info(HRASCONN hrasconn, LPSTR AAddress, DWORD AAddressSize,
                                             LPSTR APrefix, DWORD APrefixSize);

// Faults of the simulated service. Each returns 0 on success, else a platform
// error code: ERROR_CANNOT_FIND_PHONEBOOK_ENTRY for an entry the phonebook
// lacks, ERROR_NOT_SUPPORTED when the provider in use cannot stage faults.

// Ends every listed connection of the entry as if the line had been cut;
// ERROR_NO_CONNECTION when none is listed.
DRAVIK_EXPORT DWORD WINAPI DravikRasDropEntry(LPCSTR AEntryName);

// The next dial of the entry fails with ACode (not 0).
DRAVIK_EXPORT DWORD WINAPI DravikRasFailNextDial(LPCSTR AEntryName, DWORD ACode);

// The next dial of the entry gets the address of its last connection again,
// as a provider may hand out; without an earlier connection, a fresh one.
DRAVIK_EXPORT DWORD WINAPI DravikRasRepeatNextAddress(LPCSTR AEntryName);

// The next dial of the entry gets another address in the /24 of its last
// one (and another IPv6 address in the prefix of its last), as a provider's
// pool often hands out; without an earlier connection, a fresh one.
DRAVIK_EXPORT DWORD WINAPI DravikRasSubnetNextAddress(LPCSTR AEntryName);

// Lists ACount (1 to 1000) more connections of the entry, connected at once.
DRAVIK_EXPORT DWORD WINAPI DravikRasAddConnected(LPCSTR AEntryName, DWORD ACount);
}
