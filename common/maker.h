// The maker's web address: written here once, shown in the service's banner and description,
// and used by the manager's update check.
#pragma once

inline constexpr wchar_t kMakerWebAddress[] = L"http://www.draviksoftware.com";
inline constexpr wchar_t kMakerWebHost[] = L"www.draviksoftware.com";
