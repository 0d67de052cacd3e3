# A one-page Sphinx project whose Pascal blocks the Tessaline lexer colours.
project = "Tessaline lexer check"
extensions = []
pygments_style = "default"
html_theme = "basic"
highlight_options = {"tessaline-pascal": {"dialect": "classic"}}
