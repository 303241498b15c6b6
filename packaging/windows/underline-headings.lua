-- The package's README.txt is read in a text editor, which shows no markup: each
-- heading of the manual is underlined, with = for the title and - for a section.
function Header(heading)
  local line = string.rep(heading.level == 1 and "=" or "-", utf8.len(pandoc.utils.stringify(heading)))
  local content = heading.content:clone()
  content:insert(pandoc.LineBreak())
  content:insert(pandoc.Str(line))
  return pandoc.Plain(content)
end
