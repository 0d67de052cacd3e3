--[[
tessaline.lua: a pandoc filter that shows Pascal code blocks as Tessaline
highlights them.

    pandoc --lua-filter integrations/pandoc/tessaline.lua post.md -o post.html

A code block with a class pascal, delphi, objectpascal, freepascal or lazarus
(any letter case) becomes Tessaline's HTML5 fragment, a raw HTML block; every
other block is left as it is. Only output formats that take raw HTML get the
fragment (html, html5, html4, epub, the slide formats, markdown); for any
other the blocks are left to pandoc.

Metadata (in the document's YAML block or with -M):
  tessaline-inline: true     the colours in each span's style attribute,
                             so the page needs no stylesheet (mail, CMS)
  tessaline-dialect: NAME    classic or modern (the default)
  tessaline-scheme: NAME     a scheme for --scheme (builtin, Default, ...);
                             without it tessaline-cli uses its own default
  tessaline-cli: PATH        the tessaline-cli program to run

tessaline-cli is found by the metadata field tessaline-cli, else by the
environment variable TESSALINE_CLI, else on PATH; when none names a program
that exists, the filter stops pandoc with a message saying so.
]]

local PASCAL_CLASSES = {
  pascal = true, delphi = true, objectpascal = true, freepascal = true, lazarus = true,
}

local RAW_HTML_FORMATS = {
  html = true, html4 = true, html5 = true, epub = true, epub2 = true, epub3 = true,
  revealjs = true, slidy = true, slideous = true, s5 = true, dzslides = true,
  markdown = true, markdown_strict = true, markdown_phpextra = true,
  markdown_mmd = true, gfm = true, commonmark = true, commonmark_x = true,
}

local options = { inline = false, dialect = 'modern', scheme = nil, cli = nil }

local function fail(message)
  io.stderr:write('tessaline.lua: ', message, '\n')
  os.exit(1)
end

local function is_file(path)
  local handle = io.open(path, 'rb')
  if handle then
    handle:close()
    return true
  end
  return false
end

local on_windows = pandoc.path.separator == '\\'

-- The program named by PATH, as the shell would find it.
local function search_path(name)
  for dir in string.gmatch(os.getenv('PATH') or '', '[^' .. pandoc.path.search_path_separator .. ']+') do
    local candidate = pandoc.path.join({ dir, name })
    if is_file(candidate) then
      return candidate
    end
    if on_windows and is_file(candidate .. '.exe') then
      return candidate .. '.exe'
    end
  end
  return nil
end

local function find_cli(meta_value)
  if meta_value then
    if not is_file(meta_value) then
      fail('tessaline-cli not found at "' .. meta_value .. '" (the metadata field tessaline-cli)')
    end
    return meta_value
  end
  local from_env = os.getenv('TESSALINE_CLI')
  if from_env and from_env ~= '' then
    if not is_file(from_env) then
      fail('tessaline-cli not found at "' .. from_env .. '" (the environment variable TESSALINE_CLI)')
    end
    return from_env
  end
  local found = search_path('tessaline-cli')
  if not found then
    fail('tessaline-cli not found: put it on PATH, or name it with the metadata field '
      .. 'tessaline-cli or the environment variable TESSALINE_CLI')
  end
  return found
end

local function meta_text(value)
  if value == nil then
    return nil
  end
  if type(value) == 'boolean' or type(value) == 'string' or type(value) == 'number' then
    return tostring(value)
  end
  return pandoc.utils.stringify(value)
end

local function is_pascal(block)
  for _, class in ipairs(block.classes) do
    if PASCAL_CLASSES[class:lower()] then
      return true
    end
  end
  return false
end

local function Meta(meta)
  local inline = meta['tessaline-inline']
  options.inline = inline == true or meta_text(inline) == 'true'
  options.dialect = meta_text(meta['tessaline-dialect']) or 'modern'
  options.scheme = meta_text(meta['tessaline-scheme'])
  options.cli_meta = meta_text(meta['tessaline-cli'])
end

local function CodeBlock(block)
  if not is_pascal(block) then
    return nil
  end
  -- The program is looked for at the first Pascal block, so that a
  -- document without one converts where Tessaline is not installed.
  options.cli = options.cli or find_cli(options.cli_meta)
  local args = { '--page', 'html5', '--fragment', '--encoding', 'utf-8',
                 '--dialect', options.dialect, '-q', '-o', '-', '-' }
  if options.inline then
    table.insert(args, 3, '--inline-styles')
  end
  if options.scheme then
    table.insert(args, 1, options.scheme)
    table.insert(args, 1, '--scheme')
  end
  local ok, result = pcall(pandoc.pipe, options.cli, args, block.text)
  if not ok then
    local detail = type(result) == 'table' and (result.output or '') or tostring(result)
    fail(options.cli .. ' failed on a ' .. table.concat(block.classes, ' ') .. ' block: ' .. detail)
  end
  return pandoc.RawBlock('html', result)
end

if not RAW_HTML_FORMATS[FORMAT] then
  return {}
end

return {
  { Meta = Meta },
  { CodeBlock = CodeBlock },
}
