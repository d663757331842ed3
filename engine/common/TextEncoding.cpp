#include "common/TextEncoding.h"

namespace teintelle {

ByteOrderMark detectByteOrderMark(std::string_view head)
{
    if (head.starts_with("\xEF\xBB\xBF"))
        return {TextEncoding::Utf8, 3};
    if (head.starts_with("\xFF\xFE"))
        return {TextEncoding::Utf16LE, 2};
    if (head.starts_with("\xFE\xFF"))
        return {TextEncoding::Utf16BE, 2};
    return {TextEncoding::Bytes, 0};
}

} // namespace teintelle
