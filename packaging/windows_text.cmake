# Writes a text file the way Notepad reads it on any Windows: UTF-8 with a byte-order mark and
# CRLF line ends; "@VERSION@" becomes the version.
# usage: cmake -DINPUT=in.txt -DOUTPUT=out.txt -DVERSION=x.y.z -P windows_text.cmake
cmake_minimum_required(VERSION 3.25)
file(READ "${INPUT}" text)
string(CONFIGURE "${text}" text @ONLY)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 mark)
file(WRITE "${OUTPUT}" "${mark}${text}")
