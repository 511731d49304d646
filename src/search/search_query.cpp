#include "search/search_query.h"

namespace {

struct QueryEscape {
  char16_t character;
  const char16_t* encoded;
};

constexpr QueryEscape kQueryEscapes[] = {
    {u'%', u"%25"},
    {u'&', u"%26"},
    {u'#', u"%23"},
    {u'+', u"%2B"},
};

const char16_t* EncodedForm(char16_t c) {
  for (const QueryEscape& escape : kQueryEscapes) {
    if (escape.character == c) return escape.encoded;
  }
  return nullptr;
}

WString SearchAddress(const WString& siteHost, WStringView text, const char16_t* category) {
  return siteHost + u"/search.php?search=" + search::EncodeSearchText(text) + u"&category=" +
         category;
}

}  // namespace

WString search::EncodeSearchText(WStringView text) {
  WString encoded;
  encoded.reserve(text.size());
  for (char16_t c : text) {
    if (const char16_t* form = EncodedForm(c)) {
      encoded += form;
    } else {
      encoded += c;
    }
  }
  return encoded;
}

WString search::ArtistSearchAddress(const WString& siteHost, WStringView artistName) {
  return SearchAddress(siteHost, artistName, u"artist");
}

WString search::ArtistTitleSearchAddress(const WString& siteHost, WStringView searchText) {
  return SearchAddress(siteHost, searchText, u"artisttitle");
}
