#include "engine/path_parts.h"

#include <cstring>

static std::size_t FileNameStart(std::string_view path)
{
    std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

PathParts SplitPath(std::string_view path)
{
    PathParts parts;
    if (path.size() >= 2 && path[1] == ':')
    {
        parts.drive.assign(path.substr(0, 2));
        path.remove_prefix(2);
    }
    std::size_t nameStart = FileNameStart(path);
    parts.directory.assign(path.substr(0, nameStart));
    std::string_view name = path.substr(nameStart);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos)
        parts.base.assign(name);
    else
    {
        parts.base.assign(name.substr(0, dot));
        parts.extension.assign(name.substr(dot));
    }
    return parts;
}

std::string JoinPath(std::string_view directory, std::string_view name)
{
    std::string path(directory);
    if (directory.size() > 3)
        path += '\\';
    path += name;
    return path;
}

std::string_view PathExtension(std::string_view name)
{
    std::size_t nameStart = FileNameStart(name);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return {};
    return name.substr(dot);
}

const char* UsableName(const char* longName, const char* shortName)
{
    return std::strpbrk(longName, "?*") && shortName[0] ? shortName : longName;
}
