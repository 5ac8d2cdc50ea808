// 1-based access to the program's lists. A position outside the list is a
// fatal error: every caller checks its bounds first, so ordinary input never
// gets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/process.h"

namespace brenvik {

template <class T>
T& ListAt(Process& process, std::vector<T>& list, std::int64_t position)
{
    if (position < 1 || position > static_cast<std::int64_t>(list.size()))
        process.fatalError("程序内部错误：列表位置超出范围。");
    return list[static_cast<std::size_t>(position - 1)];
}

}  // namespace brenvik
