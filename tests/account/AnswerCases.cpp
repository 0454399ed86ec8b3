#include "account/AnswerCases.h"

namespace
{
std::string wrapHolder (const std::string& holder)
{
    return R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":)" + holder + "}}}";
}

std::string repeat (const std::string& piece, int times)
{
    std::string result;

    for (int i = 0; i < times; ++i)
        result += piece;

    return result;
}

const std::string tokenAnswer = wrapHolder (R"({"accessToken":"tok"})");

// A whole answer with a token, whose first member is an array of arrays that
// reaches the given depth together with the enclosing object.
std::string nestedBeforeToken (int depth)
{
    return R"({"nested":)" + repeat ("[", depth - 1) + repeat ("]", depth - 1) + "," + tokenAnswer.substr (1);
}

// A whole answer with a token, padded at its end to exactly the given size.
std::string tokenAnswerOfSize (size_t size)
{
    auto head = tokenAnswer.substr (0, tokenAnswer.size() - 1) + R"(,"padding":")";
    return head + std::string (size - head.size() - 2, 'x') + "\"}";
}
} // namespace

const std::vector<AnswerCase>& getAnswerCases()
{
    static const std::vector<AnswerCase> cases {
        { "token text", 200, wrapHolder (R"({"accessToken":"abc123","expiresAt":"2030-01-01"})"), true, true, "abc123" },
        { "token text beside other members", 200, R"({"extensions":{"cost":1},"data":{"other":[1,2],"customerAccessTokenCreate":{"customerUserErrors":[],"customerAccessToken":{"accessToken":"xyz"}}}})", true, true, "xyz" },
        { "empty token text", 200, wrapHolder (R"({"accessToken":""})"), true, true, "" },
        { "token null", 200, wrapHolder (R"({"accessToken":null})"), false, true, "" },
        { "token a number", 200, wrapHolder (R"({"accessToken":12345})"), true, true, "12345" },
        { "inner object without the member", 200, wrapHolder (R"({"expiresAt":"2030-01-01"})"), false, true, "" },
        { "inner level null", 200, wrapHolder ("null"), false, false, {} },
        // The framework counts an array as an object, so this level is passed and the
        // member looked up in it, which an array never has.
        { "inner level an array", 200, wrapHolder (R"([{"accessToken":"abc"}])"), false, true, "" },
        { "middle level missing", 200, R"({"data":{"customerAccessToken":{"accessToken":"abc"}}})", false, false, {} },
        { "data missing", 200, R"({"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"abc"}}})", false, false, {} },
        { "data an array", 200, R"({"data":[{"customerAccessTokenCreate":{}}]})", false, false, {} },
        { "data a text", 200, R"({"data":"customerAccessTokenCreate"})", false, false, {} },
        { "data null", 200, R"({"data":null,"errors":[{"message":"Unidentified customer"}]})", false, false, {} },
        { "whole answer an array", 200, "[1,2,3]", false, false, {} },
        { "not JSON", 200, "<html><body>Service unavailable</body></html>", false, false, {} },
        { "truncated JSON", 200, R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"ab)", false, false, {} },
        { "empty body", 200, "", false, false, {} },
        { "401 with token-less JSON", 401, R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":null,"customerUserErrors":[{"message":"Unidentified customer"}]}}})", false, false, {} },
        { "500 with token-less JSON", 500, R"({"errors":[{"message":"Internal error"}]})", false, false, {} },
        { "500 that still holds a token", 500, wrapHolder (R"({"accessToken":"tok500"})"), true, true, "tok500" },
        { "only a UTF-8 byte-order mark", 200, "\xEF\xBB\xBF", false, false, {} },
        { "UTF-8 byte-order mark before the JSON", 200, "\xEF\xBB\xBF" + wrapHolder (R"({"accessToken":"bom"})"), true, true, "bom" },
        { "non-ASCII token", 200, wrapHolder (R"({"accessToken":"t\u00f6ken-\u20ac"})"), true, true, juce::String::fromUTF8 ("t\xc3\xb6ken-\xe2\x82\xac") },
        { "answer far longer than one read step", 200, R"({"padding":")" + std::string (60000, 'x') + R"(","data":{"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"long"}}}})", true, true, "long" },

        // Size and depth bounds: a longer or deeper answer is refused whole.
        { "answer of exactly 64 KiB", 200, tokenAnswerOfSize (65536), true, true, "tok" },
        { "answer one byte over 64 KiB", 200, tokenAnswerOfSize (65537), false, false, {} },
        { "answer of 1 MiB with the token first", 200, tokenAnswerOfSize (1024 * 1024), false, false, {} },
        { "nesting 32 deep", 200, nestedBeforeToken (32), true, true, "tok" },
        { "nesting 33 deep", 200, nestedBeforeToken (33), false, false, {} },
        { "nesting 60,000 deep within 64 KiB", 200, R"({"data":)" + repeat ("[", 60000), false, false, {} },
        { "nesting 100,000 deep", 200, R"({"data":)" + repeat ("[", 100000), false, false, {} },
        { "brackets inside texts do not nest", 200, R"({"a":"[{[{)" + repeat ("[", 100) + R"(\"[[","b":')" + repeat ("{", 100) + R"(',"c":'x"[y',)" + tokenAnswer.substr (1), true, true, "tok" },
        // The parser takes any character after a minus sign as a digit, a quote too,
        // so the brackets after it nest although they look as if inside a text.
        { "minus sign before a quote", 200, R"({"data":[-"5,)" + repeat ("[", 60000) + R"("]})", false, false, {} },
        { "minus sign at the very end", 200, R"({"data":-)", false, false, {} },
        { "text after the answer is not read", 200, tokenAnswer + repeat ("[", 100), true, true, "tok" },
        { "exponent too large for its number beside the token", 200, R"({"x":[1.5e99999999999,-2E+88888888888],)" + tokenAnswer.substr (1), true, true, "tok" },
        { "number too large for 64 bits beside the token", 200, R"({"id":123456789012345678901234,)" + tokenAnswer.substr (1), true, true, "tok" },
    };

    return cases;
}
