{$IFDEF X}{ {$ENDIF} }'{$ENDIF}'{ it's }// {$ENDIF}
(* {$ENDIF} *)<(*$ENDIF*)b {$IFDEF X}'it''s {$ENDIF}
{$ENDIF}c