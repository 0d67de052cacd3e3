{ a { b } c }
{$mode objfpc}{ a { b } c } operator bitpacked out
{$modeswitch objectivec1}objcclass try
{$mode fpc}try class