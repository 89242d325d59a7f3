// Large buffers (a whole text file, a million rows) are first touched page by page; asking the
// system for huge pages for them makes that first touch about ten times cheaper.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvex {

// Advises huge pages for the whole pages inside [data, data + bytes); small ranges are left alone.
void advise_huge_pages(void* data, std::size_t bytes);

// Reserves capacity for `bytes` more and advises huge pages for the new space.
inline void reserve_big(std::string& s, std::size_t bytes) {
  s.reserve(bytes);
  advise_huge_pages(s.data(), s.capacity());
}

template <class T>
void reserve_big(std::vector<T>& v, std::size_t count) {
  v.reserve(count);
  advise_huge_pages(v.data(), v.capacity() * sizeof(T));
}

}  // namespace quorvex
