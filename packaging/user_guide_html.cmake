# Turns the Markdown user guide into one self-contained HTML page, the form
# a desktop's browser opens as the program's help.
#   cmake -DCMARK=<cmark-gfm> -DIN=<guide.md> -DOUT=<guide.html> -P user_guide_html.cmake
execute_process(COMMAND ${CMARK} --extension table --to html ${IN}
                OUTPUT_VARIABLE _body RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "cmark-gfm could not convert ${IN}")
endif()
file(WRITE ${OUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>Kolvex user guide</title>
<style>
body { font-family: sans-serif; max-width: 46em; margin: 2em auto; padding: 0 1em;
       line-height: 1.45; color: #e8e6e3; background: #2c2c2c; }
a { color: #9cc4ff; }
h1, h2 { border-bottom: 1px solid #646464; padding-bottom: .2em; }
code, pre { background: #3e3c3a; border-radius: 3px; }
code { padding: 0 .25em; }
pre { padding: .6em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #646464; padding: .3em .6em; text-align: left; vertical-align: top; }
</style>
</head>
<body>
${_body}</body>
</html>
")
