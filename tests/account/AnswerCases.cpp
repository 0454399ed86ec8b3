#include "account/AnswerCases.h"

namespace
{
std::string wrapHolder (const std::string& holder)
{
    return R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":)" + holder + "}}}";
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
        { "UTF-8 byte-order mark before the JSON", 200, "\xEF\xBB\xBF" + wrapHolder (R"({"accessToken":"bom"})"), true, true, "bom" },
        { "non-ASCII token", 200, wrapHolder (R"({"accessToken":"t\u00f6ken-\u20ac"})"), true, true, juce::String::fromUTF8 ("t\xc3\xb6ken-\xe2\x82\xac") },
        { "answer far longer than one read step", 200, R"({"padding":")" + std::string (100000, 'x') + R"(","data":{"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"long"}}}})", true, true, "long" },
    };

    return cases;
}
